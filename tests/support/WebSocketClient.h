// A minimal WebSocket client (RFC 6455: text messages, masked as a client must) and a plain HTTP
// GET, both to 127.0.0.1: the overlay's inspector tests talk to the browser's DevTools port as a
// second inspector does. Every wait has a deadline.
#pragma once

#include <string>

namespace CorvaneTest {

// The body of the answer to GET `path` ("" when there is none within the deadline).
std::string HttpGet(int port, const std::string& path, int seconds = 10);

// A port no one listens on at the time of the call.
int FreePort();

class WebSocketClient {
 public:
  WebSocketClient() = default;
  ~WebSocketClient() { Close(); }
  WebSocketClient(const WebSocketClient&) = delete;
  WebSocketClient& operator=(const WebSocketClient&) = delete;

  bool Connect(int port, const std::string& path);
  bool SendText(const std::string& text);
  // The next text message; false when the connection ended or none came within `seconds`.
  bool ReceiveText(std::string& text, int seconds = 10);
  void Close();

 private:
  bool Fill(size_t size, int seconds);
  int fd = -1;
  std::string buffer;  // bytes received and not handed out yet
};

}  // namespace CorvaneTest
