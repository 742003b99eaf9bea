#include "WebSocketClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <random>

namespace CorvaneTest {

namespace {

using Clock = std::chrono::steady_clock;

int ConnectLocal(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
  if (fd >= 0) close(fd);
  return -1;
}

bool WriteAll(int fd, const std::string& data) {
  for (size_t sent = 0; sent < data.size();) {
    ssize_t n = write(fd, data.data() + sent, data.size() - sent);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Reads what arrives before `end` into `into`; false at end of file, an error or the deadline.
bool ReadSome(int fd, std::string& into, Clock::time_point end) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
  pollfd ready{fd, POLLIN, 0};
  if (left <= 0 || poll(&ready, 1, static_cast<int>(left)) <= 0) return false;
  char chunk[65536];
  ssize_t got = read(fd, chunk, sizeof chunk);
  if (got <= 0) return false;
  into.append(chunk, static_cast<size_t>(got));
  return true;
}

}  // namespace

std::string HttpGet(int port, const std::string& path, int seconds) {
  int fd = ConnectLocal(port);
  if (fd < 0) return "";
  const std::string host = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
  std::string answer, body;
  if (WriteAll(fd, "GET " + path + " HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n")) {
    // Read until the body has the length the header gives (or the server closes).
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    size_t header = std::string::npos, length = std::string::npos;
    while (ReadSome(fd, answer, end)) {
      if (header == std::string::npos && (header = answer.find("\r\n\r\n")) != std::string::npos) {
        std::string head = answer.substr(0, header);
        for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        size_t field = head.find("content-length:");
        if (field != std::string::npos) length = std::stoul(head.substr(field + 15));
      }
      if (header != std::string::npos && length != std::string::npos &&
          answer.size() >= header + 4 + length)
        break;
    }
    if (header != std::string::npos) body = answer.substr(header + 4);
  }
  close(fd);
  return body;
}

int FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  close(fd);
  return port;
}

bool WebSocketClient::Connect(int port, const std::string& path) {
  Close();
  fd = ConnectLocal(port);
  if (fd < 0) return false;
  // The server checks only that a key is there; its answer is not checked back here.
  if (!WriteAll(fd, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                        "\r\nUpgrade: websocket\r\nConnection: "
                        "Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                        "Sec-WebSocket-Version: 13\r\n\r\n"))
    return false;
  const auto end = Clock::now() + std::chrono::seconds(10);
  size_t header;
  while ((header = buffer.find("\r\n\r\n")) == std::string::npos)
    if (!ReadSome(fd, buffer, end)) return false;
  const bool upgraded = buffer.compare(0, 12, "HTTP/1.1 101") == 0;
  buffer.erase(0, header + 4);
  return upgraded;
}

bool WebSocketClient::SendText(const std::string& text) {
  std::string frame(1, static_cast<char>(0x81));  // the final frame of a text message
  const uint64_t size = text.size();
  if (size < 126) {
    frame += static_cast<char>(0x80 | size);
  } else if (size < 65536) {
    frame += static_cast<char>(0x80 | 126);
    for (int shift = 8; shift >= 0; shift -= 8) frame += static_cast<char>((size >> shift) & 0xFF);
  } else {
    frame += static_cast<char>(0x80 | 127);
    for (int shift = 56; shift >= 0; shift -= 8) frame += static_cast<char>((size >> shift) & 0xFF);
  }
  static std::mt19937 random(std::random_device{}());
  const uint32_t mask = random();
  for (int shift = 24; shift >= 0; shift -= 8) frame += static_cast<char>((mask >> shift) & 0xFF);
  const size_t masked = frame.size();
  frame += text;
  for (size_t i = 0; i < text.size(); ++i)
    frame[masked + i] ^= static_cast<char>((mask >> (24 - 8 * (i % 4))) & 0xFF);
  return fd >= 0 && WriteAll(fd, frame);
}

bool WebSocketClient::Fill(size_t size, int seconds) {
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  while (buffer.size() < size)
    if (!ReadSome(fd, buffer, end)) return false;
  return true;
}

bool WebSocketClient::ReceiveText(std::string& text, int seconds) {
  for (;;) {
    if (fd < 0 || !Fill(2, seconds)) return false;
    const int opcode = buffer[0] & 0x0F;
    uint64_t size = buffer[1] & 0x7F;
    size_t header = 2;
    if (size >= 126) {
      const size_t bytes = size == 126 ? 2 : 8;
      if (!Fill(2 + bytes, seconds)) return false;
      size = 0;
      for (size_t i = 0; i < bytes; ++i) size = size << 8 | static_cast<uint8_t>(buffer[2 + i]);
      header += bytes;
    }
    if (!Fill(header + size, seconds)) return false;
    std::string payload = buffer.substr(header, size);
    buffer.erase(0, header + size);
    if (opcode == 0x8) return false;  // the server closed
    if (opcode == 0x1) {
      text.swap(payload);
      return true;
    }
  }
}

void WebSocketClient::Close() {
  if (fd >= 0) close(fd);
  fd = -1;
  buffer.clear();
}

}  // namespace CorvaneTest
