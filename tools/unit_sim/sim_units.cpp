#include "unit_sim/sim_units.hpp"

#include <stdexcept>

#include "common/system_frame.hpp"
#include "protocol/unit_id.hpp"

namespace talvero {

namespace asio = boost::asio;
using boost::system::error_code;

SimUnit::SimUnit(UnitEvents& events, uint16_t unitNr)
    : unitNr(unitNr), unitText(UnitText(unitNr)), events_(events) {}

void SimUnit::BeginWrite() {
  if (writePending_) {
    throw std::logic_error("unit " + unitText + " is still writing its last frame");
  }
  writePending_ = true;
}

void SimUnit::EndWrite(const error_code& ec) {
  writePending_ = false;
  if (closed_) {
    return;
  }
  if (ec) {
    events_.OnSendFailed(*this);
  } else {
    events_.OnWritten(*this);
  }
}

TcpSimUnit::TcpSimUnit(asio::io_context& io, UnitEvents& events, uint16_t unitNr)
    : SimUnit(events, unitNr), socket_(io) {}

void TcpSimUnit::Connect(const asio::ip::address_v4& address, uint16_t port) {
  socket_.async_connect({address, port}, [this](const error_code& ec) {
    if (closed_) {
      return;
    }
    if (ec) {
      events_.OnConnectFailed(*this);
      return;
    }
    error_code ignored;
    // Frames are small and each waits for its answer: no coalescing delay.
    socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
    Read();
    events_.OnConnected(*this);
  });
}

void TcpSimUnit::Send(std::string frame) {
  BeginWrite();
  out_ = std::move(frame);
  asio::async_write(socket_, asio::buffer(out_),
                    [this](const error_code& ec, size_t) { EndWrite(ec); });
}

void TcpSimUnit::Read() {
  socket_.async_read_some(asio::buffer(in_), [this](const error_code& ec, size_t n) {
    if (closed_) {
      return;
    }
    if (ec) {
      events_.OnClosed(*this);
      return;
    }
    stream_.append(in_.data(), n);
    while (auto frame = TakeFrame(stream_)) {
      events_.OnFrame(*this, *frame);
      if (closed_) {
        return;
      }
    }
    Read();
  });
}

void TcpSimUnit::Close() {
  closed_ = true;
  error_code ignored;
  socket_.close(ignored);
}

UdpSimUnit::UdpSimUnit(asio::io_context& io, UnitEvents& events, uint16_t unitNr)
    : SimUnit(events, unitNr), io_(io), socket_(io) {}

void UdpSimUnit::Connect(const asio::ip::address_v4& address, uint16_t port) {
  error_code ec;
  socket_.open(asio::ip::udp::v4(), ec);
  if (!ec) {
    // A connected socket takes datagrams from the receiver's address only.
    socket_.connect({address, port}, ec);
  }
  // Reported from the loop, never from inside the caller's own call.
  asio::post(io_, [this, failed = static_cast<bool>(ec)] {
    if (closed_) {
      return;
    }
    if (failed) {
      events_.OnConnectFailed(*this);
      return;
    }
    Receive();
    events_.OnConnected(*this);
  });
}

void UdpSimUnit::Send(std::string frame) {
  BeginWrite();
  out_ = std::move(frame);
  socket_.async_send(asio::buffer(out_), [this](const error_code& ec, size_t) { EndWrite(ec); });
}

void UdpSimUnit::Receive() {
  socket_.async_receive(asio::buffer(in_), [this](const error_code& ec, size_t n) {
    if (closed_) {
      return;
    }
    if (ec == asio::error::connection_refused) {
      // Nothing listens on the port (an ICMP answer to an earlier datagram).
      events_.OnSendFailed(*this);
    } else if (ec) {
      events_.OnClosed(*this);
      return;
    } else {
      events_.OnFrame(*this, std::string_view(in_.data(), n));
    }
    if (!closed_) {
      Receive();
    }
  });
}

void UdpSimUnit::Close() {
  closed_ = true;
  error_code ignored;
  socket_.close(ignored);
}

}  // namespace talvero
