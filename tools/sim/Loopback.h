// HTTP on the loopback interface, for the tests' real servers: a port
// nobody listens on yet, one exchange with a server on a port, and the wait
// until a server that was just started answers.
#pragma once

#include <chrono>
#include <string>

#include "sim/ChildProcess.h"

// A loopback port nobody listens on now; -1 when none could be had.
int freeLoopbackPort();

// `request` sent whole to the port; the reply up to the server's close (or
// `limit` without a byte), "" when it does not connect.
std::string httpExchange(int port, const std::string& request,
                         std::chrono::seconds limit = std::chrono::seconds(15));

// The whole reply to GET `path` over HTTP/1.0.
std::string httpGet(int port, const std::string& path,
                    std::chrono::seconds limit = std::chrono::seconds(15));

// Whether `server`, listening on `port`, answers a GET of `path` within 10 s;
// false at once when it exits.
bool awaitHttp(ChildProcess& server, int port, const std::string& path);
