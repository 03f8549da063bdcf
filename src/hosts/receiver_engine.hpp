#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>

#include "base/clock.hpp"
#include "base/host_kind.hpp"
#include "base/timer.hpp"
#include "config/settings_editor.hpp"
#include "config/settings_effects.hpp"
#include "config/settings_grid.hpp"
#include "engine/custom_commands.hpp"
#include "engine/frame_processor.hpp"
#include "engine/settings.hpp"
#include "engine/unit_commands.hpp"
#include "engine/unit_database.hpp"
#include "engine/unit_table.hpp"
#include "hosts/admin_password.hpp"
#include "hosts/net_address.hpp"
#include "hosts/operator_commands.hpp"
#include "log/host_logger.hpp"
#include "log/host_observer.hpp"
#include "log/watch_dog.hpp"
#include "platform/asio_serial_port.hpp"
#include "platform/network_transports.hpp"
#include "platform/serial_device_path.hpp"
#include "station/comm_trouble_supervisor.hpp"
#include "station/station_bridge.hpp"
#include "station/station_journal.hpp"
#include "station/station_link.hpp"

namespace boost::asio {
class io_context;
}

namespace talvero {

// The receiver: everything one host runs, owned in one place and started in
// the hosts' common order. All of it runs on the host's one event thread.
class ReceiverEngine final : private SettingsEffects {
 public:
  struct Options {
    HostKind host = HostKind::Service;
    std::filesystem::path devDir = kDefaultDevDir;
    // The station lines over TCP to this address instead of the serial port.
    std::optional<NetAddress> stationTcp;
  };

  // Creates the logs (and their folders) and every part, empty; throws when a
  // log folder cannot be created.
  ReceiverEngine(boost::asio::io_context& io, const Clock& clock, TimerFactory& timers,
                 HostObserver& observer, const Options& options);
  ~ReceiverEngine() override;
  ReceiverEngine(const ReceiverEngine&) = delete;
  ReceiverEngine& operator=(const ReceiverEngine&) = delete;

  // "Application started..", the settings (which open the serial port), the unit
  // database; only when that loads: the transports, the first heartbeat and the
  // timers. Returns whether the receiver listens.
  bool StartUp();
  // Service host: the unsent-lines note when lines would be lost. Desktop host:
  // the per-unit thresholds saved, a failure written to "Errors". Then the
  // waiting lines dropped (the journal emptied), the sockets released without
  // a line each, the background writer stopped and "Application closed\r\n".
  void Stop();

  HostLogger& Log() { return *log_; }
  // Desktop host: the commands of the grid's menu, and the custom commands
  // read at start-up.
  OperatorCommands& Operator() { return operator_; }
  UnitCommands& Commands() { return commands_; }
  const CustomCommands& Custom() const { return custom_; }
  const AdminPasswordFile& AdminPassword() const { return adminPassword_; }

  // What the monitor shows and edits.
  bool Started() const { return transports_.Started(); }
  TDateTime StartTime() const { return supervisor_.StartTime(); }
  UnitTables& Tables() { return tables_; }
  const StationQueue& Queue() const { return link_.Queue(); }
  const StationLink& Link() const { return link_; }
  UnitDatabase& Database() { return database_; }
  // The settings grid and its check boxes as last read or edited.
  const ShownSettings& Shown() const { return shown_; }
  // Desktop host: an edit of the settings grid's row (ignored before start-up).
  void EditSetting(size_t row, std::string_view typed);
  // Desktop host: "Play Sounds" ticked or cleared; the file is saved at once.
  void SetPlaySounds(bool on);
  // Desktop host: a "Comm Tr." cell edited after start-up; level 1..3, minutes
  // 0..65535, anything else ignored.
  void EditCommTrLimit(uint16_t unit, int level, int32_t minutes);

 private:
  bool StartUpCompleted() const override { return transports_.Started(); }
  void ActivateSrvPort(bool force) override;
  void DoActivateSerialPort() override;
  void PingMonitSoft() override;
  void ApplyPingInterval() override;
  void ChangeCommTrDefault(int level, std::optional<int32_t> value) override;
  // Writes the turn's waiting log lines and makes the journal's writes durable;
  // failures are reported, never thrown.
  void EndOfTurn() noexcept;

  const Clock& clock_;
  HostKind host_;
  std::unique_ptr<HostLogger> log_;
  std::mutex engineLock_;
  UnitTables tables_;
  Settings settings_;
  TWatchDog watchDog_;
  std::unique_ptr<SerialPort> stationPort_;
  StationJournal journal_;
  StationLink link_;
  UnitDatabase database_;
  CommTroubleSupervisor supervisor_;
  StationBridge station_;
  FrameProcessor frames_;
  CustomCommands custom_;
  UnitCommands commands_;
  AdminPasswordFile adminPassword_;
  OperatorCommands operator_;
  NetworkTransports transports_;
  SettingsEditor editor_;
  ShownSettings shown_;
};

}  // namespace talvero
