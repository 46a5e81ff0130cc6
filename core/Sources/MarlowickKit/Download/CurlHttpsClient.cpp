#include "Download/CurlHttpsClient.hpp"

#include <curl/curl.h>

#include <array>
#include <chrono>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>

namespace marlowick {
namespace {

constexpr long maximumRedirects = 5;
// How often the transfer loop wakes when nothing arrives, to look at the idle clock and
// the cancel query.
constexpr int pollIntervalMs = 100;

using Clock = std::chrono::steady_clock;

// libcurl's global set-up is not safe to race with the first handles of other threads.
void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlTextDeleter {
    void operator()(char* text) const { curl_free(text); }
};

using Easy = std::unique_ptr<CURL, EasyDeleter>;
using Multi = std::unique_ptr<CURLM, MultiDeleter>;
using List = std::unique_ptr<curl_slist, ListDeleter>;
using Url = std::unique_ptr<CURLU, UrlDeleter>;
using CurlText = std::unique_ptr<char, CurlTextDeleter>;

bool append(List& list, const std::string& entry) {
    curl_slist* grown = curl_slist_append(list.get(), entry.c_str());
    if (grown == nullptr) return false;
    (void)list.release();
    list.reset(grown);
    return true;
}

// State of one transfer, reached from libcurl's C callbacks. A C++ exception must not
// cross libcurl's frames: a callback stores it and tells libcurl to stop, and get()
// rethrows it once the transfer has ended.
struct Transfer {
    CURL* handle = nullptr;
    const HttpsReceiver* receiver = nullptr;
    bool headDelivered = false;
    bool cancelled = false;
    bool idleTimedOut = false;
    std::exception_ptr failure;
    // When a byte last arrived; none until the connection stands (the connect time-out
    // covers that part).
    std::optional<Clock::time_point> lastActivity;

    HttpsResponseHead head() const {
        HttpsResponseHead result;
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &result.status);
        curl_off_t length = -1;
        if (curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length >= 0) {
            result.contentLength = static_cast<std::int64_t>(length);
        }
        return result;
    }

    void deliverHead() {
        if (headDelivered) return;
        headDelivered = true;
        if (receiver->onHead) receiver->onHead(head());
    }

    // Whether the transfer must end now: cancelled by the caller, or nothing received for the idle time-out.
    bool mustStop(std::chrono::milliseconds idleTimeout) {
        try {
            if (receiver->isCancelled && receiver->isCancelled()) cancelled = true;
        } catch (...) {
            failure = std::current_exception();
        }
        idleTimedOut = !cancelled && !failure && lastActivity && Clock::now() - *lastActivity >= idleTimeout;
        return cancelled || failure || idleTimedOut;
    }
};

std::size_t receiveBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    const std::size_t length = size * count;
    transfer->lastActivity = Clock::now();
    try {
        transfer->deliverHead();
        if (transfer->receiver->onBody) {
            transfer->receiver->onBody(std::span(reinterpret_cast<const std::uint8_t*>(data), length));
        }
        return length;
    } catch (...) {
        transfer->failure = std::current_exception();
        return CURL_WRITEFUNC_ERROR;
    }
}

std::size_t receiveHeader(char*, std::size_t size, std::size_t count, void* context) {
    static_cast<Transfer*>(context)->lastActivity = Clock::now();
    return size * count;
}

// Called once the connection stands, before each request is sent.
int connected(void* context, char*, char*, int, int) {
    static_cast<Transfer*>(context)->lastActivity = Clock::now();
    return CURL_PREREQFUNC_OK;
}

// "3 s", or "1500 ms" where the time-out is not whole seconds.
std::string durationText(std::chrono::milliseconds duration) {
    if (duration.count() % 1000 == 0) return std::to_string(duration.count() / 1000) + " s";
    return std::to_string(duration.count()) + " ms";
}

// Runs the transfer on a multi handle of its own so that the idle clock is ours. libcurl's
// low-speed check is no idle clock: it averages the speed over the last five seconds, so
// after a stall it goes on seeing the earlier bytes for five seconds before it even
// starts counting, and ends a 3-second idle time-out after about 9.
CURLcode perform(CURL* handle, Transfer& transfer, std::chrono::milliseconds idleTimeout) {
    const Multi multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), handle) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
    int running = 1;
    CURLcode result = CURLE_OK;
    while (running != 0) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (running == 0 || transfer.mustStop(idleTimeout)) break;
        if (curl_multi_poll(multi.get(), nullptr, 0, pollIntervalMs, nullptr) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
    }
    int queued = 0;
    while (const CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == handle) result = message->data.result;
    }
    curl_multi_remove_handle(multi.get(), handle);
    return result;
}

void set(CURL* handle, CURLoption option, auto value) {
    if (const CURLcode code = curl_easy_setopt(handle, option, value); code != CURLE_OK) {
        throw HttpsError(HttpsError::Kind::transport, std::string("libcurl refused a setting: ") + curl_easy_strerror(code));
    }
}

}  // namespace

CurlHttpsClient::CurlHttpsClient() : CurlHttpsClient(Options{}) {}

CurlHttpsClient::CurlHttpsClient(Options options) : settings(std::move(options)) { initialiseCurlOnce(); }

HttpsResponseHead CurlHttpsClient::get(const HttpsRequest& request, const HttpsReceiver& receiver) const {
    Easy easy(curl_easy_init());
    if (!easy) throw HttpsError(HttpsError::Kind::transport, "libcurl could not start a transfer");
    CURL* handle = easy.get();

    Transfer transfer;
    transfer.handle = handle;
    transfer.receiver = &receiver;
    std::array<char, CURL_ERROR_SIZE> errorText{};
    List headers;
    List connectTo;
    for (const std::string& header : request.headers) {
        if (!append(headers, header)) throw HttpsError(HttpsError::Kind::transport, "out of memory for headers");
    }
    for (const auto& [from, to] : settings.connectTo) {
        if (!append(connectTo, from + ":" + to)) throw HttpsError(HttpsError::Kind::transport, "out of memory");
    }

    set(handle, CURLOPT_URL, request.url.c_str());
    set(handle, CURLOPT_HTTPGET, 1L);
    set(handle, CURLOPT_PROTOCOLS_STR, "https");
    set(handle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    set(handle, CURLOPT_FOLLOWLOCATION, 1L);
    set(handle, CURLOPT_MAXREDIRS, maximumRedirects);
    set(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    set(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (settings.caFile) set(handle, CURLOPT_CAINFO, settings.caFile->c_str());
    if (connectTo) set(handle, CURLOPT_CONNECT_TO, connectTo.get());
    if (headers) set(handle, CURLOPT_HTTPHEADER, headers.get());
    set(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.idleTimeout.count()));
    // No signals: the transfer may run on any thread of a multi-threaded program.
    set(handle, CURLOPT_NOSIGNAL, 1L);
    set(handle, CURLOPT_ERRORBUFFER, errorText.data());
    set(handle, CURLOPT_WRITEFUNCTION, &receiveBody);
    set(handle, CURLOPT_WRITEDATA, &transfer);
    set(handle, CURLOPT_HEADERFUNCTION, &receiveHeader);
    set(handle, CURLOPT_HEADERDATA, &transfer);
    set(handle, CURLOPT_PREREQFUNCTION, &connected);
    set(handle, CURLOPT_PREREQDATA, &transfer);

    const CURLcode code = perform(handle, transfer, request.idleTimeout);
    if (transfer.failure) std::rethrow_exception(transfer.failure);
    if (transfer.cancelled) throw HttpsError(HttpsError::Kind::cancelled, "cancelled");
    if (transfer.idleTimedOut) {
        throw HttpsError(HttpsError::Kind::transport,
                         "Operation timed out: no data received for " + durationText(request.idleTimeout));
    }
    if (code != CURLE_OK) {
        const std::string text = errorText[0] != '\0' ? std::string(errorText.data()) : curl_easy_strerror(code);
        throw HttpsError(HttpsError::Kind::transport, text);
    }
    // A response without a body reaches no write callback.
    transfer.deliverHead();
    if (transfer.failure) std::rethrow_exception(transfer.failure);
    return transfer.head();
}

std::vector<std::uint8_t> CurlHttpsClient::fetch(const std::string& url, std::chrono::milliseconds idleTimeout,
                                                 std::int64_t maximumBytes,
                                                 const std::function<bool()>& isCancelled) const {
    std::vector<std::uint8_t> body;
    const auto tooLarge = [&] {
        return HttpsError(HttpsError::Kind::tooLarge,
                          "response larger than " + std::to_string(maximumBytes) + " bytes");
    };
    const HttpsReceiver receiver{
        .onHead =
            [&](const HttpsResponseHead& head) {
                if (head.status < 200 || head.status > 299) {
                    throw HttpsError(HttpsError::Kind::badServerResponse,
                                     "bad server response (HTTP status " + std::to_string(head.status) + ")");
                }
                if (head.contentLength && *head.contentLength > maximumBytes) throw tooLarge();
            },
        .onBody =
            [&](std::span<const std::uint8_t> bytes) {
                if (static_cast<std::int64_t>(body.size() + bytes.size()) > maximumBytes) throw tooLarge();
                body.insert(body.end(), bytes.begin(), bytes.end());
            },
        .isCancelled = isCancelled,
    };
    (void)get(HttpsRequest{.url = url, .headers = {}, .idleTimeout = idleTimeout}, receiver);
    return body;
}

namespace HttpsUrl {

bool isValid(const std::string& text) {
    initialiseCurlOnce();
    const Url url(curl_url());
    return url && curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) == CURLUE_OK;
}

std::optional<std::string> appendingToLastPathComponent(const std::string& text, const std::string& suffix) {
    initialiseCurlOnce();
    const Url url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) return std::nullopt;
    char* rawPath = nullptr;
    if (curl_url_get(url.get(), CURLUPART_PATH, &rawPath, 0) != CURLUE_OK) return std::nullopt;
    std::string path = CurlText(rawPath).get();
    // "…/data/" names the component "data", as a path does.
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    path += suffix;
    if (curl_url_set(url.get(), CURLUPART_PATH, path.c_str(), 0) != CURLUE_OK) return std::nullopt;
    char* rawUrl = nullptr;
    if (curl_url_get(url.get(), CURLUPART_URL, &rawUrl, 0) != CURLUE_OK) return std::nullopt;
    return std::string(CurlText(rawUrl).get());
}

}  // namespace HttpsUrl

}  // namespace marlowick
