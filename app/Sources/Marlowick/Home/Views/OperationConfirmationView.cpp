#include "Home/Views/OperationConfirmationView.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "Design/BrandStyle.hpp"
#include "Design/SymbolIcons.hpp"
#include "Home/OperationConfirmationPresentation.hpp"
#include "Home/Views/AdvancedOptionsSection.hpp"
#include "Home/Views/DriveContextViews.hpp"
#include "Home/Views/ViewElements.hpp"
#include "Home/Views/ViewKit.hpp"
#include "UI/Accessibility.hpp"
#include "UI/PlainText.hpp"

namespace marlowick {
namespace {

using Kind = HomeOperationKind;
namespace presentation = OperationConfirmationPresentation;

// A box tinted with the primary colour: the download and disk-image cards.
class TintedCard : public QWidget {
public:
    explicit TintedCard(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(BrandStyle::color(BrandColor::primary, 0.1));
        painter.drawRoundedRect(rect(), 10, 10);
    }
};

QVBoxLayout* cardColumn(QWidget& card, int spacing) {
    auto* column = new QVBoxLayout(&card);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(spacing);
    return column;
}

}  // namespace

OperationConfirmationView::OperationConfirmationView(QWidget& window, Inputs given,
                                                     std::shared_ptr<VentoyCatalogModel> catalogModel)
    : ui::Sheet(window, QStringLiteral("home.confirm.sheet")), inputs(std::move(given)), catalog(std::move(catalogModel)) {
    const Kind kind = inputs.kind;
    const bool destructive = isDestructive(kind);
    const std::string title = presentation::title(kind);
    setWindowTitle(ui::qtText(title));
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, BrandStyle::color(BrandColor::surface));
    setPalette(background);

    // Everything but the acknowledgement and the buttons, which are the footer.
    auto* body = new QWidget(this);
    auto* root = new QVBoxLayout(body);
    root->setContentsMargins(24, 24, 24, 0);
    root->setSpacing(16);
    auto* footer = new QWidget(this);
    auto* footerColumn = new QVBoxLayout(footer);
    footerColumn->setContentsMargins(24, 16, 24, 24);
    footerColumn->setSpacing(16);

    // 1. What is asked, with a warning symbol for what erases.
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(views::symbolLabel(destructive ? "exclamationmark.triangle.fill" : "arrow.triangle.2.circlepath", 28,
                                      destructive ? BrandColor::errorText : BrandColor::primary, body));
    QLabel* heading = views::styledLabel(title, BrandFont::sectionTitle, BrandColor::textHeading, body);
    ui::identify(*heading, "home.confirm.title", title, "heading");
    header->addWidget(heading, 1);
    root->addLayout(header);

    // 2. What happens to the drive.
    QLabel* sentence =
        views::styledLabel(presentation::explanation(kind, inputs.deviceName, inputs.deviceCapacityBytes),
                           BrandFont::body, BrandColor::textMuted, body);
    sentence->setObjectName(QStringLiteral("home.confirm.explanation"));
    root->addWidget(sentence);

    // 3. The first use downloads the boot files.
    if (inputs.downloadHeadsUpBytes) {
        auto* card = new TintedCard(body);
        const std::string notice = presentation::downloadNotice(*inputs.downloadHeadsUpBytes);
        ui::identify(*card, "home.confirm.downloadHeadsUp", notice);
        auto* row = new QHBoxLayout(card);
        row->setContentsMargins(12, 12, 12, 12);
        row->setSpacing(8);
        row->addWidget(views::symbolLabel("arrow.down.circle", 16, BrandColor::primary, card), 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(4);
        QLabel* line = views::styledLabel(notice, BrandFont::callout, BrandColor::text, card);
        ui::hideFromAccessibility(*line);
        texts->addWidget(line);
        // The source of the release to be installed; an update always installs the pinned one.
        const std::optional<std::string> version =
            reformatsDataPartition(kind) ? std::optional(inputs.options.get().selectedVentoyVersion) : std::nullopt;
        const VentoyReleaseManifest& manifest = VentoyReleaseManifest::manifest(version);
        if (QPushButton* link = viewkit::sourceLink(manifest.releaseSourceURLString(), BrandFont::caption, card)) {
            link->setObjectName(QStringLiteral("home.confirm.downloadHeadsUp.source"));
            texts->addWidget(link, 0, Qt::AlignLeft);
        }
        row->addLayout(texts, 1);
        root->addWidget(card);
    }

    // 4. The disk image a raw write would put on the drive.
    if (inputs.rawImage) {
        const HomeViewModel::PendingRawImage& image = *inputs.rawImage;
        auto* card = new TintedCard(body);
        ui::identify(*card, "home.confirm.rawImage");
        QVBoxLayout* column = cardColumn(*card, 4);
        auto* imageRow = new QHBoxLayout;
        imageRow->setSpacing(8);
        imageRow->addWidget(views::symbolLabel("opticaldiscdrive", 16, BrandColor::primary, card));
        const std::string fileName = image.url.filename().string();
        QLabel* name = views::styledLabel(fileName, BrandFont::callout, BrandColor::text, card);
        QFont medium = name->font();
        medium.setWeight(QFont::Medium);
        name->setFont(medium);
        name->setObjectName(QStringLiteral("home.confirm.rawImage.name"));
        imageRow->addWidget(name, 1);
        std::string spoken = fileName;
        if (image.sizeBytes) {
            QLabel* size = views::styledLabel(driveSizeText(*image.sizeBytes), BrandFont::caption, BrandColor::textMuted, card);
            size->setWordWrap(false);
            size->setObjectName(QStringLiteral("home.confirm.rawImage.size"));
            imageRow->addWidget(size);
            spoken += ", " + driveSizeText(*image.sizeBytes);
        }
        column->addLayout(imageRow);
        if (const std::optional<std::string> note = image.verdict.bootabilityNote()) {
            QLabel* noteLabel = views::styledLabel(*note, BrandFont::caption, BrandColor::textMuted, card);
            noteLabel->setObjectName(QStringLiteral("home.confirm.rawImage.bootability"));
            column->addWidget(noteLabel);
            spoken += ". " + *note;
        }
        for (std::size_t index = 0; index < image.notices.size(); ++index) {
            auto* notice = new QWidget(card);
            notice->setObjectName(QStringLiteral("home.confirm.rawImage.notice.%1").arg(index));
            auto* noticeRow = new QHBoxLayout(notice);
            noticeRow->setContentsMargins(0, 4, 0, 0);
            noticeRow->setSpacing(6);
            noticeRow->addWidget(views::symbolLabel("exclamationmark.triangle.fill", 12, BrandColor::warningText, notice), 0,
                                 Qt::AlignTop);
            const std::string message = image.notices[index].message();
            QLabel* text = views::styledLabel(message, BrandFont::caption, BrandColor::text, notice);
            text->setObjectName(QStringLiteral("home.confirm.rawImage.notice.%1.text").arg(index));
            noticeRow->addWidget(text, 1);
            column->addWidget(notice);
            spoken += ". " + message;
        }
        card->setAccessibleName(ui::qtText(spoken));
        for (QWidget* child : card->findChildren<QWidget*>()) ui::hideFromAccessibility(*child);
        root->addWidget(card);
    }

    // 5. A large drive is named before it is erased.
    if (inputs.showsLargeDriveCaution) {
        root->addWidget(new LargeDriveCautionBanner(inputs.deviceCapacityBytes, "home.confirm.largeDriveCaution", body));
    }

    // 6. The advanced options of the kinds that lay down a new data partition.
    if (reformatsDataPartition(kind)) {
        disclosure = new QToolButton(body);
        ui::identify(*disclosure, "home.confirm.advanced.disclosure", "Advanced options");
        disclosure->setText(QStringLiteral("Advanced options"));
        disclosure->setCheckable(true);
        disclosure->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        disclosure->setAutoRaise(true);
        disclosure->setCursor(Qt::PointingHandCursor);
        disclosure->setFont(BrandStyle::font(BrandFont::callout));
        views::setTextColor(*disclosure, BrandColor::text);
        disclosure->setStyleSheet(QStringLiteral("QToolButton { border: 1px solid transparent; border-radius: 4px;"
                                                 " color: %1; padding: 2px; }"
                                                 "QToolButton:focus { border: 1px solid %2; }")
                                      .arg(BrandStyle::color(BrandColor::text).name(),
                                           BrandStyle::color(BrandColor::primary).name()));
        const auto chevron = [this](bool open) {
            disclosure->setIcon(QIcon(SymbolIcons::tinted(open ? "chevron.down" : "chevron.right", 12,
                                                          BrandStyle::color(BrandColor::textMuted),
                                                          devicePixelRatioF())));
        };
        chevron(false);
        root->addWidget(disclosure, 0, Qt::AlignLeft);
        section = new AdvancedOptionsSection(kind, inputs.options, inputs.deviceCapacityBytes, catalog, body);
        section->setVisible(false);
        root->addWidget(section);
        connect(disclosure, &QToolButton::toggled, this, [this, chevron](bool open) {
            chevron(open);
            section->setVisible(open);
        });
        connect(section, &AdvancedOptionsSection::edited, this, [this] { sync(); });
    }

    // 7. What erases must be acknowledged: with the buttons, in the footer.
    if (destructive) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        acknowledge = new QCheckBox(footer);
        ui::identify(*acknowledge, "home.confirm.acknowledge", presentation::acknowledgementLabel(inputs.deviceName),
                     presentation::acknowledgementHint(kind));
        auto* caption = new viewkit::CheckBoxCaption(*acknowledge, footer);
        caption->setObjectName(QStringLiteral("home.confirm.acknowledge.caption"));
        caption->setTextFormat(Qt::RichText);
        // The name is escaped: it shows as typed, in bold, whatever characters it holds.
        caption->setText(ui::qtText(presentation::acknowledgementCaptionBefore) + QStringLiteral("<b>") +
                         ui::qtText(inputs.deviceName).toHtmlEscaped() + QStringLiteral("</b>") +
                         ui::qtText(presentation::acknowledgementCaptionAfter));
        caption->setFont(BrandStyle::font(BrandFont::callout));
        views::setTextColor(*caption, BrandColor::text);
        row->addWidget(acknowledge, 0, Qt::AlignTop);
        row->addWidget(caption, 1);
        footerColumn->addLayout(row);
        connect(acknowledge, &QCheckBox::toggled, this, [this] { sync(); });
    }

    // 8. Cancel and the action.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    QPushButton* cancel = viewkit::borderedButton("Cancel", footer);
    ui::identify(*cancel, "home.confirm.cancel", "Cancel", "Closes this dialog without changing the drive.");
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (inputs.onCancel) inputs.onCancel();
    });
    buttons->addWidget(cancel);
    const std::string actionLabel = presentation::actionLabel(kind);
    action = viewkit::prominentButton(actionLabel, destructive ? BrandColor::errorSolid : BrandColor::primary, footer);
    ui::identify(*action, "home.confirm.action", actionLabel, presentation::actionHint(kind));
    connect(action, &QPushButton::clicked, this, [this] {
        if (confirmEnabled() && inputs.onConfirm) inputs.onConfirm();
    });
    buttons->addWidget(action);
    footerColumn->addLayout(buttons);

    setParts(body, footer, sheetWidth);
    if (destructive) makeReturnSafe();
    sync();
}

bool OperationConfirmationView::confirmEnabled() const {
    return presentation::confirmEnabled(inputs.kind, inputs.options.get(), inputs.deviceCapacityBytes,
                                        acknowledge != nullptr && acknowledge->isChecked());
}

bool OperationConfirmationView::returnConfirms() const {
    return presentation::returnConfirms(inputs.kind, confirmEnabled());
}

void OperationConfirmationView::sync() {
    if (section != nullptr) section->sync();
    action->setEnabled(confirmEnabled());
    // The sheet turns Return into this button's click only while this holds.
    action->setDefault(returnConfirms());
}

}  // namespace marlowick
