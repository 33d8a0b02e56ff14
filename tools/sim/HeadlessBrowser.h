// Debian's Chromium, headless, driven over the DevTools protocol on a pipe
// (--remote-debugging-pipe: JSON messages ended by a NUL byte, commands on
// its descriptor 3, replies and events on its descriptor 4), so that a test
// reads a page's DOM without anything downloaded at test time. Closed, then
// stopped and waited for, on every road out.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "sim/ChildProcess.h"

class HeadlessBrowser {
public:
    // Its profile in the directory `profile`, its output in `profile`.log.
    explicit HeadlessBrowser(const std::string& profile);
    ~HeadlessBrowser();
    HeadlessBrowser(const HeadlessBrowser&) = delete;
    HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

    // Why no browser answers here, "" when one does.
    std::string unavailableReason();

    // The reply to one command ("" when none came within `limit`); events
    // in between are passed over.
    std::string call(const std::string& method, const std::string& params,
                     const std::string& session = "",
                     std::chrono::milliseconds limit = std::chrono::seconds(20));
    // A new tab of `width` x `height` CSS pixels at `url`; its session.
    std::string open(const std::string& url, int width, int height);
    void resize(const std::string& session, int width, int height);
    // The string `expression` gives in the page (awaited); an exception's text otherwise.
    std::string evaluate(const std::string& session, const std::string& expression);
    // Evaluates `expression` until it gives "true" or `limit` passes.
    bool waitFor(const std::string& session, const std::string& expression,
                 std::chrono::milliseconds limit);
    // The page as the bytes of a PNG file.
    std::string screenshot(const std::string& session);

private:
    std::string log;
    std::unique_ptr<ChildProcess> process;
    int toBrowser = -1;
    int fromBrowser = -1;
    int lastId = 0;
    std::string pending;
};
