#include "curl_post.h"

#include "fail.h"

#include <curl/curl.h>

namespace {

std::size_t collect(char *data, std::size_t size, std::size_t count, void *into)
{
    static_cast<std::string *>(into)->append(data, size * count);
    return size * count;
}

} // namespace

std::string curlPost(const std::string &url, const std::string &body, std::string *head, bool acceptGzip)
{
    CURL *handle = curl_easy_init();
    curl_slist *headers = curl_slist_append(nullptr, "Content-Type: text/XML, utf-8, application/x-www-form-urlencoded");
    headers = curl_slist_append(headers, "Expect:"); // no 100-continue round trip
    if (acceptGzip)
        headers = curl_slist_append(headers, "Accept-Encoding: gzip, deflate");
    std::string answer, answerHead;
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, collect);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &answerHead);
    const CURLcode result = curl_easy_perform(handle);
    curl_easy_cleanup(handle);
    curl_slist_free_all(headers);
    if (result != CURLE_OK)
        fail(std::string("libcurl: ") + curl_easy_strerror(result));
    if (head)
        *head = answerHead;
    return answer;
}
