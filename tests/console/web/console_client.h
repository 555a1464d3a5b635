// The operator's browser, for tests: one request to the console and its
// answer, made from another thread while the test's thread keeps serving the
// console, as the bot's loop (or the window's timers) does.
#pragma once

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <future>
#include <nlohmann/json.hpp>
#include <string>

namespace kelva::testing {

struct ConsoleAnswer {
  unsigned status = 0;
  std::string body;
  std::string setCookie;
  nlohmann::json data() const { return nlohmann::json::parse(body, nullptr, false); }
  // The session's cookie as the browser sends it back.
  std::string cookie() const { return setCookie.substr(0, setCookie.find(';')); }
};

struct ConsoleAsk {
  std::string method;
  std::string target;
  // The fields a request leaves out start empty: no body, no cookie, and so on.
  std::string body{};
  std::string cookie{};
  std::string formKey{};
  std::string origin{};
};

// Writes `a` to a connected stream and reads the answer.
template <typename Stream>
ConsoleAnswer exchange(Stream& stream, uint16_t port, const ConsoleAsk& a) {
  namespace http = boost::beast::http;
  http::request<http::string_body> request(a.method == "POST" ? http::verb::post : http::verb::get, a.target, 11);
  request.set(http::field::host, "127.0.0.1:" + std::to_string(port));
  if (!a.cookie.empty()) request.set(http::field::cookie, a.cookie);
  if (!a.formKey.empty()) request.set("X-Kelva-Form-Key", a.formKey);
  if (!a.origin.empty()) request.set(http::field::origin, a.origin);
  request.body() = a.body;
  request.prepare_payload();
  http::write(stream, request);
  boost::beast::flat_buffer buffer;
  http::response<http::string_body> response;
  http::read(stream, buffer, response);
  return {response.result_int(), response.body(), std::string(response[http::field::set_cookie])};
}

// Runs `client` on another thread while `serve` runs again and again on this one.
template <typename Client, typename Serve>
auto whileServing(Client client, Serve serve) {
  auto future = std::async(std::launch::async, std::move(client));
  while (future.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) serve();
  return future.get();
}

// `a` over plain HTTP to the console on `port` of this machine.
template <typename Serve>
ConsoleAnswer askConsole(uint16_t port, const ConsoleAsk& a, Serve serve) {
  return whileServing(
      [&] {
        boost::asio::io_context io;
        boost::beast::tcp_stream stream(io);
        stream.expires_after(std::chrono::seconds(20));
        stream.connect(boost::asio::ip::tcp::endpoint(boost::asio::ip::make_address("127.0.0.1"), port));
        return exchange(stream, port, a);
      },
      serve);
}

}  // namespace kelva::testing
