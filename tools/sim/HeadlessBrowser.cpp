#include "sim/HeadlessBrowser.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "sim/Sandbox.h"

namespace {

constexpr const char* kChromium = "/usr/bin/chromium";

// `text` as a JSON string.
std::string jsonQuoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

// The JSON string value of the first `"key":` in `json`, unescaped; "" when
// there is none.
std::string jsonStringAt(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\":\"");
    if (at == std::string::npos) {
        return "";
    }
    std::string value;
    for (std::size_t i = at + key.size() + 4; i < json.size() && json[i] != '"'; ++i) {
        if (json[i] != '\\' || i + 1 == json.size()) {
            value += json[i];
            continue;
        }
        const char c = json[++i];
        if (c == 'u' && i + 4 < json.size()) {
            // As UTF-8; the pages read nothing beyond U+FFFF.
            const int code = std::stoi(json.substr(i + 1, 4), nullptr, 16);
            if (code < 0x80) {
                value += static_cast<char>(code);
            } else if (code < 0x800) {
                value += static_cast<char>(0xC0 | code >> 6);
                value += static_cast<char>(0x80 | (code & 0x3F));
            } else {
                value += static_cast<char>(0xE0 | code >> 12);
                value += static_cast<char>(0x80 | (code >> 6 & 0x3F));
                value += static_cast<char>(0x80 | (code & 0x3F));
            }
            i += 4;
        } else {
            value += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        }
    }
    return value;
}

std::string decodeBase64(const std::string& text) {
    static const std::string digits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned bits = 0;
    int count = 0;
    for (const char c : text) {
        const std::size_t digit = digits.find(c);
        if (digit == std::string::npos) {
            continue;  // padding
        }
        bits = bits << 6 | static_cast<unsigned>(digit);
        if ((count += 6) >= 8) {
            count -= 8;
            bytes += static_cast<char>(bits >> count & 0xFF);
        }
    }
    return bytes;
}

// Without the background-networking flags its own connections out are
// refused by a closed network, and it waits on them.
std::vector<std::string> chromiumCommand(const std::string& profile) {
    return {kChromium,
            "--headless",
            "--no-sandbox",
            "--disable-gpu",
            "--disable-quic",
            "--no-first-run",
            "--disable-background-networking",
            "--disable-component-update",
            "--disable-sync",
            "--autoplay-policy=no-user-gesture-required",
            "--remote-debugging-pipe",
            "--user-data-dir=" + profile,
            "about:blank"};
}

}  // namespace

HeadlessBrowser::HeadlessBrowser(const std::string& profile) : log(profile + ".log") {
    int commands[2], replies[2];
    if (::pipe2(commands, O_CLOEXEC) != 0) {
        return;
    }
    if (::pipe2(replies, O_CLOEXEC) != 0) {
        ::close(commands[0]);
        ::close(commands[1]);
        return;
    }
    process = std::make_unique<ChildProcess>(
        chromiumCommand(profile), log,
        std::vector<std::pair<int, int>>{{commands[0], 3}, {replies[1], 4}});
    ::close(commands[0]);
    ::close(replies[1]);
    toBrowser = commands[1];
    fromBrowser = replies[0];
}

HeadlessBrowser::~HeadlessBrowser() {
    if (process && process->running()) {
        call("Browser.close", "{}", "", std::chrono::seconds(5));
        process->exitStatus(std::chrono::seconds(5));
    }
    process.reset();
    ::close(toBrowser);
    ::close(fromBrowser);
}

std::string HeadlessBrowser::unavailableReason() {
    if (!std::filesystem::exists(kChromium)) {
        return std::string(kChromium) + " is missing (Debian package chromium)";
    }
    if (call("Browser.getVersion", "{}", "", std::chrono::seconds(30)).empty()) {
        return "chromium does not answer on its DevTools pipe: " + readFileText(log);
    }
    return "";
}

std::string HeadlessBrowser::call(const std::string& method, const std::string& params,
                                  const std::string& session, std::chrono::milliseconds limit) {
    const std::string id = std::to_string(++lastId);
    std::string message = "{\"id\":" + id + ",\"method\":\"" + method + "\",\"params\":" + params;
    message += (session.empty() ? "" : ",\"sessionId\":\"" + session + "\"") + "}";
    message += '\0';
    if (!process || !process->running() ||
        ::write(toBrowser, message.data(), message.size()) !=
            static_cast<ssize_t>(message.size())) {
        return "";
    }
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        for (std::size_t nul; (nul = pending.find('\0')) != std::string::npos;) {
            std::string reply = pending.substr(0, nul);
            pending.erase(0, nul + 1);
            if (reply.rfind("{\"id\":" + id + ",", 0) == 0) {
                return reply;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd ready{fromBrowser, POLLIN, 0};
        char buffer[65536];
        ssize_t got = 0;
        if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0 ||
            (got = ::read(fromBrowser, buffer, sizeof buffer)) <= 0) {
            return "";
        }
        pending.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string HeadlessBrowser::open(const std::string& url, int width, int height) {
    const std::string target =
        jsonStringAt(call("Target.createTarget", "{\"url\":\"about:blank\"}"), "targetId");
    const std::string session = jsonStringAt(
        call("Target.attachToTarget", "{\"targetId\":\"" + target + "\",\"flatten\":true}"),
        "sessionId");
    resize(session, width, height);
    call("Page.navigate", "{\"url\":" + jsonQuoted(url) + "}", session);
    return session;
}

void HeadlessBrowser::resize(const std::string& session, int width, int height) {
    call("Emulation.setDeviceMetricsOverride",
         "{\"width\":" + std::to_string(width) + ",\"height\":" + std::to_string(height) +
             ",\"deviceScaleFactor\":2,\"mobile\":true}",
         session);
}

std::string HeadlessBrowser::evaluate(const std::string& session, const std::string& expression) {
    const std::string reply = call("Runtime.evaluate",
                                   "{\"expression\":" + jsonQuoted(expression) +
                                       ",\"returnByValue\":true,\"awaitPromise\":true}",
                                   session);
    if (reply.find("\"exceptionDetails\"") != std::string::npos) {
        return "exception: " + jsonStringAt(reply, "description");
    }
    return jsonStringAt(reply, "value");
}

bool HeadlessBrowser::waitFor(const std::string& session, const std::string& expression,
                              std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    do {
        if (evaluate(session, "String(" + expression + ")") == "true") {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

std::string HeadlessBrowser::screenshot(const std::string& session) {
    return decodeBase64(
        jsonStringAt(call("Page.captureScreenshot", "{\"format\":\"png\"}", session), "data"));
}
