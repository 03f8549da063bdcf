#pragma once

#include <memory>
#include <unordered_map>

#include "platform/answer_batch.hpp"
#include "platform/asio.hpp"
#include "platform/frame_delivery.hpp"
#include "platform/tcp_connection.hpp"

namespace talvero {

// The TCP listener on all IPv4 addresses and the connections it accepted.
// Closing it closes every connection. Runs on the event thread.
class TcpListener final : public std::enable_shared_from_this<TcpListener> {
 public:
  // Binds and listens; throws boost::system::system_error when the port cannot be had.
  TcpListener(boost::asio::io_context& io, uint16_t port, FrameDelivery& delivery);

  void Start();
  // Closes the listener and every connection, each with its disconnect line.
  void Close();
  // As Close, without the disconnect lines (the program is ending).
  void Release();
  uint16_t LocalPort() const { return localPort_; }

 private:
  void Shut(bool logged);
  void Accept();
  void OnAccept(const boost::system::error_code& ec, boost::asio::ip::tcp::socket socket);
  // Makes an accepted socket a connection and starts it.
  void Adopt(boost::asio::ip::tcp::socket socket);

  boost::asio::ip::tcp::acceptor acceptor_;
  // Waits before the next accept after a failed one (out of descriptors, say),
  // so the loop does not spin on the failure.
  boost::asio::steady_timer retry_;
  FrameDelivery& delivery_;
  std::shared_ptr<AnswerBatch> batch_;  // the answers of every connection
  uint16_t localPort_ = 0;
  std::unordered_map<TcpConnection*, std::shared_ptr<TcpConnection>> connections_;
  bool closed_ = false;
  bool acceptFailing_ = false;  // told in "Imp_msg" until an accept succeeds
};

}  // namespace talvero
