// One browser's connection to the console: reads HTTP requests one after
// another (keep-alive), hands each to the server and writes its reply.
// Requests are small (64 KiB at most) and must arrive within 30 seconds.
// With a TLS context the connection speaks HTTPS only.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <memory>

namespace boost::asio::ssl {
class context;
}

namespace kelva::console::web {

class ConsoleServer;

// Serves `socket` until the browser closes it or it idles out.
void serveConsoleConnection(boost::asio::ip::tcp::socket socket, ConsoleServer& server,
                            std::shared_ptr<boost::asio::ssl::context> tls);

}  // namespace kelva::console::web
