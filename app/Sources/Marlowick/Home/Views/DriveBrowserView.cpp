#include "Home/Views/DriveBrowserView.hpp"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "Design/BrandStyle.hpp"
#include "Design/SymbolIcons.hpp"
#include "Home/DriveBrowserPresentation.hpp"
#include "Home/Views/ViewElements.hpp"
#include "UI/Accessibility.hpp"
#include "UI/DestructiveQuestion.hpp"
#include "UI/PlainText.hpp"
#include "UI/WindowPlacement.hpp"

namespace marlowick {
namespace {

using Property = DriveBrowserModel::Property;

enum Column { nameColumn, dateColumn, sizeColumn };
constexpr int pathRole = Qt::UserRole;

QToolButton* symbolButton(std::string_view symbol, int pixels, BrandColor color, std::string_view identifier,
                          std::string_view label, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIcon(QIcon(SymbolIcons::tinted(symbol, pixels, BrandStyle::color(color))));
    button->setIconSize(QSize(pixels, pixels));
    button->setToolTip(ui::qtText(label));
    ui::identify(*button, identifier, label);
    return button;
}

// A small spinner: a busy bar of fixed size with a spoken name.
QProgressBar* busyIndicator(std::string_view identifier, std::string_view label, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedSize(48, 8);
    ui::identify(*bar, identifier, label);
    return bar;
}

// An alert that was answered or withdrawn: it goes at the next turn of the event loop, and
// until then it is no longer the browser's alert.
void retire(QDialog& box) {
    box.disconnect();
    box.setObjectName(QString());
    box.hide();
    box.deleteLater();
}

// The backgrounds of the file list's rows: every other one, and a selected one.
constexpr TextBackground alternateRow{BrandColor::surface, BrandColor::surfaceSunken, 0.5};
constexpr TextBackground selectedRow{BrandColor::surface, BrandColor::primary, 0.22};

// Rows a little taller than the text, with room above and below.
class RowSpacing : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 8);
    }
};

void fill(QWidget& widget, BrandColor color) {
    widget.setAutoFillBackground(true);
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, BrandStyle::color(color));
    widget.setPalette(palette);
}

}  // namespace

DriveBrowserView::DriveBrowserView(std::shared_ptr<DriveBrowserModel> model, QWidget* parent)
    : QDialog(parent), shown(std::move(model)) {
    ui::identify(*this, "browser");
    setWindowTitle(ui::qtText(shown->driveName()));
    if (parent != nullptr) setWindowModality(Qt::WindowModal);
    fill(*this, BrandColor::surface);
    setMinimumSize(minimumWidth, minimumHeight);
    resize(idealWidth, idealHeight);
    // Over the window it is opened from, centred on it.
    if (parent != nullptr) ui::centreOn(*this, parent);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildHeader());
    column->addWidget(views::divider(this));
    column->addWidget(buildContent(), 1);
    column->addWidget(buildNotice());
    column->addWidget(views::divider(this));
    column->addWidget(buildFooter());

    // Told through a guarded pointer: a model's report that is already under way when the
    // window goes must find nothing to draw into.
    QPointer<DriveBrowserView> self(this);
    subscription = shown->observers().subscribe([self](Property property) {
        if (self) self->apply(property);
    });
    showDirectory();
    showListing();
    showNotice();
    showFooter();
    showAlert();
}

DriveBrowserView::~DriveBrowserView() { shown->observers().unsubscribe(subscription); }

// --- Building.

QWidget* DriveBrowserView::buildHeader() {
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(16, 12, 16, 12);
    row->setSpacing(10);
    upButton = symbolButton("chevron.left", 12, BrandColor::text, "browser.up", "Enclosing folder", header);
    connect(upButton, &QToolButton::clicked, this, [this] {
        if (const auto parent = shown->directory().parent()) shown->goTo(*parent);
    });
    row->addWidget(upButton);

    crumbs = new QWidget(header);
    ui::identify(*crumbs, "browser.breadcrumbs");
    crumbRow = new QHBoxLayout(crumbs);
    crumbRow->setContentsMargins(0, 0, 0, 0);
    crumbRow->setSpacing(4);
    row->addWidget(crumbs, 1);
    row->addSpacing(8);

    auto* refresh = symbolButton("arrow.clockwise", 12, BrandColor::primary, "browser.refresh", "Refresh", header);
    connect(refresh, &QToolButton::clicked, this, [this] { shown->reload(); });
    row->addWidget(refresh);
    return header;
}

QWidget* DriveBrowserView::buildContent() {
    content = new QStackedWidget(this);

    loadingPage = new QWidget(content);
    auto* loadingColumn = new QVBoxLayout(loadingPage);
    loadingColumn->addWidget(busyIndicator("browser.loading", "Reading the drive", loadingPage), 0, Qt::AlignCenter);
    content->addWidget(loadingPage);

    unavailablePage = new QWidget(content);
    ui::identify(*unavailablePage, "browser.unavailable");
    auto* unavailableColumn = new QVBoxLayout(unavailablePage);
    unavailableColumn->setContentsMargins(24, 24, 24, 24);
    unavailableColumn->setSpacing(10);
    unavailableColumn->addStretch(1);
    unavailableColumn->addWidget(views::symbolLabel("exclamationmark.triangle", 26, BrandColor::warningText,
                                                    unavailablePage),
                                 0, Qt::AlignHCenter);
    unavailableText = views::styledLabel("", BrandFont::callout, BrandColor::text, unavailablePage);
    unavailableText->setObjectName(QStringLiteral("browser.unavailable.message"));
    unavailableText->setAlignment(Qt::AlignHCenter);
    // A fixed width lets the sentence wrap into as many lines as it needs.
    unavailableText->setFixedWidth(420);
    unavailableColumn->addWidget(unavailableText, 0, Qt::AlignHCenter);
    auto* retry = new QPushButton(QStringLiteral("Try Again"), unavailablePage);
    ui::identify(*retry, "browser.unavailable.retry");
    retry->setAutoDefault(false);
    views::applyButtonLook(*retry, views::ButtonLook::bordered);
    connect(retry, &QPushButton::clicked, this, [this] { shown->reload(); });
    unavailableColumn->addWidget(retry, 0, Qt::AlignHCenter);
    unavailableColumn->addStretch(1);
    content->addWidget(unavailablePage);

    emptyPage = views::styledLabel("This folder is empty.", BrandFont::callout, BrandColor::textMuted, content);
    emptyPage->setObjectName(QStringLiteral("browser.empty"));
    emptyPage->setAlignment(Qt::AlignCenter);
    content->addWidget(emptyPage);

    list = new QTreeWidget;
    ui::identify(*list, "browser.list");
    list->setColumnCount(3);
    list->setHeaderHidden(true);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAlternatingRowColors(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setTextElideMode(Qt::ElideMiddle);
    list->setIconSize(QSize(14, 14));
    list->setFont(BrandStyle::font(BrandFont::callout));
    list->setFrameShape(QFrame::NoFrame);
    list->setItemDelegate(new RowSpacing(list));
    // A tinted selection keeps each row's own colours (and its symbol) readable.
    QPalette rows = list->palette();
    rows.setColor(QPalette::Base, BrandStyle::color(BrandColor::surface));
    rows.setColor(QPalette::AlternateBase, BrandStyle::color(*alternateRow.tint, alternateRow.tintOpacity));
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        rows.setColor(group, QPalette::Highlight, BrandStyle::color(*selectedRow.tint, selectedRow.tintOpacity));
        rows.setColor(group, QPalette::HighlightedText, BrandStyle::textColor(BrandColor::text, selectedRow));
    }
    list->setPalette(rows);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(nameColumn, QHeaderView::Stretch);
    list->header()->setSectionResizeMode(dateColumn, QHeaderView::Fixed);
    list->header()->setSectionResizeMode(sizeColumn, QHeaderView::Fixed);
    list->header()->resizeSection(dateColumn, 110);
    list->header()->resizeSection(sizeColumn, 80);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!syncingSelection) shown->setSelection(listSelection());
    });
    connect(list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (const auto path = VolumePath::parse(item->data(nameColumn, pathRole).toString().toStdString())) {
            shown->activate(*path);
        }
    });
    connect(list, &QWidget::customContextMenuRequested, this, &DriveBrowserView::openContextMenu);
    auto* deleteKey = new QShortcut(QKeySequence::Delete, list, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(deleteKey, &QShortcut::activated, this, [this] { shown->requestDelete(); });
    auto* listPage = new QWidget(content);
    auto* inset = new QVBoxLayout(listPage);
    inset->setContentsMargins(8, 6, 8, 6);
    inset->addWidget(list);
    content->addWidget(listPage);
    return content;
}

QWidget* DriveBrowserView::buildNotice() {
    notice = new QWidget(this);
    ui::identify(*notice, "browser.notice");
    fill(*notice, BrandColor::surfaceSunken);
    auto* row = new QHBoxLayout(notice);
    row->setContentsMargins(16, 10, 16, 10);
    row->setSpacing(8);
    row->addWidget(views::symbolLabel("exclamationmark.circle.fill", 14, BrandColor::warningText, notice), 0,
                   Qt::AlignTop);
    noticeText = views::styledLabel("", BrandFont::caption, BrandColor::text, notice);
    noticeText->setObjectName(QStringLiteral("browser.notice.text"));
    row->addWidget(noticeText, 1, Qt::AlignTop);
    auto* dismiss = symbolButton("xmark", 10, BrandColor::textMuted, "browser.notice.dismiss", "Dismiss", notice);
    connect(dismiss, &QToolButton::clicked, this, [this] { shown->dismissDeleteNotice(); });
    row->addWidget(dismiss, 0, Qt::AlignTop);
    return notice;
}

QWidget* DriveBrowserView::buildFooter() {
    auto* footer = new QWidget(this);
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(16, 12, 16, 12);
    row->setSpacing(12);
    summary = views::styledLabel("", BrandFont::readout, BrandColor::textMuted, footer);
    summary->setObjectName(QStringLiteral("browser.summary"));
    summary->setWordWrap(false);
    row->addWidget(summary);
    deleting = busyIndicator("browser.deleting", "Deleting", footer);
    row->addWidget(deleting);
    row->addStretch(1);
    row->addSpacing(8);

    deleteButton = new QPushButton(QStringLiteral("Delete…"), footer);
    ui::identify(*deleteButton, "browser.delete", "Delete");
    deleteButton->setAutoDefault(false);
    connect(deleteButton, &QPushButton::clicked, this, [this] { shown->requestDelete(); });
    row->addWidget(deleteButton);

    doneButton = new QPushButton(QStringLiteral("Done"), footer);
    ui::identify(*doneButton, "browser.done");
    doneButton->setDefault(true);
    views::applyButtonLook(*doneButton, views::ButtonLook::borderedProminent);
    connect(doneButton, &QPushButton::clicked, this, &QDialog::accept);
    row->addWidget(doneButton);
    return footer;
}

// --- Following the model.

void DriveBrowserView::apply(Property property) {
    switch (property) {
        case Property::directory:
            showDirectory();
            break;
        case Property::listing:
            showListing();
            showFooter();
            break;
        case Property::selection:
            showSelection();
            showFooter();
            break;
        case Property::isDeleting:
            showFooter();
            break;
        case Property::deleteNotice:
            showNotice();
            break;
        case Property::pendingDelete:
            showAlert();
            break;
        case Property::didChangeDrive:
        case Property::loadTask:
        case Property::deleteTask:
            break;
    }
}

void DriveBrowserView::showDirectory() {
    upButton->setEnabled(!shown->directory().isRoot());
    while (QLayoutItem* item = crumbRow->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const std::vector<DriveBrowserModel::Breadcrumb> trail = shown->breadcrumbs();
    for (std::size_t i = 0; i < trail.size(); ++i) {
        if (i > 0) crumbRow->addWidget(views::symbolLabel("chevron.right", 10, BrandColor::textSubtle, crumbs));
        const QString name = ui::qtText(trail[i].name);
        const std::string identifier = "browser.breadcrumbs." + std::to_string(i);
        if (i + 1 == trail.size()) {
            crumbRow->addWidget(
                views::symbolLabel(i == 0 ? "externaldrive.fill" : "folder.fill", 13, BrandColor::textHeading, crumbs));
            auto* current = new views::ElidedLabel(name, BrandFont::cardTitle, BrandColor::textHeading, crumbs);
            ui::identify(*current, identifier, trail[i].name);
            crumbRow->addWidget(current, 1);
        } else {
            auto* link = new QPushButton(name, crumbs);
            ui::identify(*link, identifier, trail[i].name);
            link->setAutoDefault(false);
            link->setCursor(Qt::PointingHandCursor);
            views::applyButtonLook(*link, views::ButtonLook::plain, BrandFont::callout, BrandColor::primary);
            connect(link, &QPushButton::clicked, this, [this, path = trail[i].path] { shown->goTo(path); });
            crumbRow->addWidget(link);
        }
    }
}

void DriveBrowserView::showListing() {
    const DriveBrowserModel::Listing& listing = shown->listing();
    if (const auto* unavailable = std::get_if<DriveBrowserModel::Listing::Unavailable>(&listing.value)) {
        ui::setPlainText(*unavailableText, unavailable->message);
        unavailablePage->setAccessibleName(ui::qtText(unavailable->message));
        content->setCurrentWidget(unavailablePage);
        return;
    }
    const std::vector<MountedEntry>* entries = listing.entries();
    if (entries == nullptr) {
        content->setCurrentWidget(loadingPage);
        return;
    }
    if (entries->empty()) {
        content->setCurrentWidget(emptyPage);
        return;
    }
    syncingSelection = true;
    list->clear();
    for (const MountedEntry& entry : *entries) {
        auto* item = new QTreeWidgetItem(list);
        const BrandColor tint = entry.isDirectory ? BrandColor::primary : BrandColor::textMuted;
        item->setIcon(nameColumn, QIcon(SymbolIcons::tinted(DriveBrowserPresentation::glyph(entry), 14,
                                                            BrandStyle::color(tint))));
        item->setText(nameColumn, ui::qtText(entry.name()));
        item->setData(nameColumn, pathRole, ui::qtText(entry.path.string()));
        item->setData(nameColumn, Qt::AccessibleTextRole,
                      ui::qtText(DriveBrowserPresentation::accessibilityLabel(entry)));
        // Each text reads on a selected row too.
        item->setForeground(nameColumn, BrandStyle::textColor(BrandColor::text, selectedRow));
        item->setText(dateColumn, ui::qtText(DriveBrowserPresentation::dateText(entry.modifiedAt)));
        item->setFont(dateColumn, BrandStyle::font(BrandFont::caption));
        item->setForeground(dateColumn, BrandStyle::textColor(BrandColor::textMuted, selectedRow));
        item->setTextAlignment(dateColumn, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(sizeColumn, ui::qtText(DriveBrowserPresentation::sizeText(entry)));
        item->setFont(sizeColumn, BrandStyle::font(BrandFont::readout));
        item->setForeground(sizeColumn, BrandStyle::textColor(BrandColor::textMuted, selectedRow));
        item->setTextAlignment(sizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    }
    syncingSelection = false;
    showSelection();
    content->setCurrentWidget(list->parentWidget());
}

void DriveBrowserView::showSelection() {
    syncingSelection = true;
    const DriveBrowserModel::Selection& selected = shown->selection();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        const auto path = VolumePath::parse(item->data(nameColumn, pathRole).toString().toStdString());
        const bool want = path && selected.contains(*path);
        if (item->isSelected() != want) item->setSelected(want);
    }
    syncingSelection = false;
}

void DriveBrowserView::showFooter() {
    ui::setPlainText(*summary, DriveBrowserPresentation::selectionSummary(shown->selectedEntries()));
    deleting->setVisible(shown->isDeleting());
    const bool canDelete = shown->canDeleteSelection();
    deleteButton->setEnabled(canDelete);
    // The bordered look keeps its title colour when disabled; a faint title says it is off.
    views::applyButtonLook(*deleteButton, views::ButtonLook::bordered, BrandFont::body,
                           canDelete ? BrandColor::errorText : BrandColor::textSubtle);
    deleteButton->setToolTip(
        ui::qtText(shown->deleteUnavailableReason().value_or("Delete the selected files from the drive")));
}

void DriveBrowserView::showNotice() {
    const std::optional<std::string>& text = shown->deleteNotice();
    if (text) ui::setPlainText(*noticeText, *text);
    notice->setAccessibleName(ui::qtText(text.value_or("")));
    notice->setVisible(text.has_value());
}

void DriveBrowserView::showAlert() {
    const std::optional<DriveBrowserModel::DeleteConfirmation>& asked = shown->pendingDelete();
    if (alert) retire(*alert);
    if (!asked) return;
    // Return answers Cancel: files on the drive go only by a deliberate click.
    alert = new ui::DestructiveQuestion(*this, QStringLiteral("browser.deleteAlert"),
                                        {asked->title,
                                         asked->message,
                                         {"Delete", "browser.deleteAlert.delete"},
                                         {"Cancel", "browser.deleteAlert.cancel"}});
    connect(alert, &QDialog::finished, this, [this, box = alert.data()](int answer) {
        retire(*box);
        if (answer == QDialog::Accepted) {
            shown->confirmDelete();
        } else {
            shown->cancelDelete();
        }
    });
    alert->open();
}

DriveBrowserModel::Selection DriveBrowserView::listSelection() const {
    DriveBrowserModel::Selection selected;
    for (QTreeWidgetItem* item : list->selectedItems()) {
        if (auto path = VolumePath::parse(item->data(nameColumn, pathRole).toString().toStdString())) {
            selected.insert(std::move(*path));
        }
    }
    return selected;
}

void DriveBrowserView::openContextMenu(const QPoint& position) {
    DriveBrowserModel::Selection items = listSelection();
    if (QTreeWidgetItem* clicked = list->itemAt(position); clicked != nullptr && !clicked->isSelected()) {
        items.clear();
        if (auto path = VolumePath::parse(clicked->data(nameColumn, pathRole).toString().toStdString())) {
            items.insert(std::move(*path));
        }
    }
    if (items.empty()) return;
    const bool onlyFiles = shown->areListedFiles(items);
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("browser.list.contextMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* remove = menu->addAction(QStringLiteral("Delete…"));
    remove->setObjectName(QStringLiteral("browser.list.contextMenu.delete"));
    remove->setEnabled(onlyFiles);
    connect(remove, &QAction::triggered, this, [this, items] {
        shown->setSelection(items);
        shown->requestDelete();
    });
    menu->popup(list->viewport()->mapToGlobal(position));
}

}  // namespace marlowick
