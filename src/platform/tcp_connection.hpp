#pragma once

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "engine/transport.hpp"
#include "platform/answer_batch.hpp"
#include "platform/asio.hpp"
#include "platform/frame_delivery.hpp"

namespace talvero {

// One accepted unit connection, and the route back to that unit. It lives from
// accept to close; once closed it stays closed, so a route kept past the close
// fails on Send instead of reaching whichever socket came next.
//
// Every member runs on the event thread. Completion handlers hold the object
// alive and look at closed_ first, so nothing outside it is touched after Close.
class TcpConnection final : public Transport, public std::enable_shared_from_this<TcpConnection> {
 public:
  using ClosedHandler = std::function<void(TcpConnection*)>;

  // Frames waiting to be written before Send refuses more (a unit that does not read).
  static constexpr size_t kMaxPendingWrites = 64;

  TcpConnection(boost::asio::ip::tcp::socket socket, const boost::asio::ip::tcp::endpoint& peer,
                FrameDelivery& delivery, std::shared_ptr<AnswerBatch> batch,
                ClosedHandler onClosed);

  // Logs the connect event and starts reading.
  void Start();
  // Closes the socket and logs the disconnect event, once.
  void Close();
  // Closes the socket without a disconnect line: the program is ending, and
  // releases its connections as the process would.
  void Release();
  bool Closed() const { return closed_; }

  TransportKind Kind() const override { return TransportKind::Tcp; }
  // Queues data as one write; throws std::runtime_error once the connection is
  // closed, PeerFault while the unit leaves kMaxPendingWrites answers unread.
  void Send(std::string_view data) override;
  std::string PeerAddress() const override { return peerAddress_; }
  // The batch's turn, after its hook: the answers queued since the connection
  // joined it leave.
  void WriteHeldAnswers();
  uint16_t PeerPort() const override { return peerPort_; }

 private:
  void Shut(bool logged);
  void Read();
  void OnRead(const boost::system::error_code& ec, size_t length);
  // Writes the queued answers once what must come first is done: after a
  // write that waited for the socket, answers queued meanwhile.
  void WriteHead();
  void WriteQueued();
  void OnWritten(const boost::system::error_code& ec);
  // A socket error: logged with its code, then the connection is closed.
  void Fail(const boost::system::error_code& ec);

  boost::asio::ip::tcp::socket socket_;
  const std::string peerAddress_;
  const uint16_t peerPort_;
  FrameDelivery& delivery_;
  std::shared_ptr<AnswerBatch> batch_;
  ClosedHandler onClosed_;
  // Frames are short; more than this in one read is taken as it waits (OnRead).
  std::array<char, 512> readBuffer_{};
  std::deque<std::string> pendingWrites_;  // the head is in flight while writing_
  bool writing_ = false;
  bool writePosted_ = false;  // held in the batch: the first write is due with it
  bool closed_ = false;
};

}  // namespace talvero
