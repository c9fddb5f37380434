#include "curl_multi_floor.h"

#include "fail.h"
#include "timing.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

struct EasyDeleter {
    void operator()(CURL *handle) const { curl_easy_cleanup(handle); }
};
struct MultiDeleter {
    void operator()(CURLM *multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};

std::size_t discard(char *, std::size_t size, std::size_t count, void *)
{
    return size * count;
}

} // namespace

double curlMultiFloorRate(const std::string &url, const std::string &body, int count, int concurrency)
{
    const std::unique_ptr<curl_slist, ListDeleter> headers(curl_slist_append(
        curl_slist_append(nullptr, "Content-Type: text/XML, utf-8, application/x-www-form-urlencoded"), "Expect:"));
    // Declared before the handles, so that it goes after them: none is still in it then.
    const std::unique_ptr<CURLM, MultiDeleter> owner(curl_multi_init());
    CURLM *multi = owner.get();
    // The handles are kept from post to post, as a tight loop keeps them; the
    // connections are not: a new one each post, as the platform makes.
    std::vector<std::unique_ptr<CURL, EasyDeleter>> owned;
    std::vector<CURL *> handles;
    for (int i = 0; i < std::clamp(concurrency, 1, count); ++i) {
        CURL *handle = owned.emplace_back(curl_easy_init()).get();
        handles.push_back(handle);
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle, CURLOPT_NOPROXY, "*");
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, discard);
        // The same Accept-Encoding as the exchange's, so the endpoint does the same work.
        curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
        curl_easy_setopt(handle, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
    }
    const auto start = Clock::now();
    int started = 0, ended = 0;
    for (CURL *handle : handles) {
        curl_multi_add_handle(multi, handle);
        ++started;
    }
    while (ended < count) {
        int running = 0;
        curl_multi_perform(multi, &running);
        int left = 0;
        while (CURLMsg *message = curl_multi_info_read(multi, &left)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            CURL *handle = message->easy_handle;
            const CURLcode result = message->data.result;
            long status = 0;
            curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
            if (result != CURLE_OK)
                fail(std::string("libcurl multi: ") + curl_easy_strerror(result));
            if (status != 200)
                fail("libcurl multi: the endpoint answered " + std::to_string(status));
            ++ended;
            curl_multi_remove_handle(multi, handle);
            if (started < count) {
                curl_multi_add_handle(multi, handle);
                ++started;
            }
        }
        if (ended < count)
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    return count / (msSince(start) / 1000.0);
}
