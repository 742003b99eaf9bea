// A minimal WebSocket client to 127.0.0.1 (RFC 6455: short text messages, masked as a client
// must): the overlay's inspector tests talk to the browser's DevTools port as a second inspector
// does. Every wait has a deadline.
#pragma once

#include <string>

namespace CorvaneTest {

int FreePort();  // a port no one listens on at the time of the call

class WebSocketClient {
 public:
  ~WebSocketClient() { Close(); }
  bool Connect(int port, const std::string& path);  // true once the server upgraded
  bool SendText(const std::string& text);           // under 126 bytes
  // Waits until what the server sent (frame headers and all) holds `text`; "" at the deadline.
  std::string WaitFor(const std::string& text, int seconds = 10);
  void Close();

 private:
  int fd = -1;
  std::string received;
};

}  // namespace CorvaneTest
