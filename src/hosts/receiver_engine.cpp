#include "hosts/receiver_engine.hpp"

#include "base/guard.hpp"
#include "config/read_settings.hpp"
#include "config/rewrite_settings_file.hpp"
#include "config/save_settings.hpp"
#include "config/settings_grid_edit.hpp"
#include "config/settings_lines.hpp"
#include "log/exe_folder.hpp"
#include "platform/asio.hpp"
#include "platform/tcp_station_port.hpp"
#include "station/comm_trouble_data.hpp"
#include "station/comm_trouble_limits.hpp"
#include "station/station_queue.hpp"

namespace talvero {
namespace {

UnitDatabase::Options DatabaseOptions(const ReceiverEngine::Options& options,
                                      HostObserver& observer, std::vector<CommTrLimit>& limits) {
  UnitDatabase::Options db;
  db.host = options.host;
  db.path = ExeFolder() + "Talvero.db";
  if (options.host == HostKind::Desktop) {
    db.observer = &observer;
    db.loadCommTrData = [&limits] { LoadCommTrData(kCommTrDataPath, limits); };
  }
  return db;
}

std::unique_ptr<SerialPort> MakeStationPort(boost::asio::io_context& io, Logger& log,
                                            const ReceiverEngine::Options& options) {
  if (options.stationTcp) {
    return std::make_unique<TcpStationPort>(io, log, options.stationTcp->host,
                                            options.stationTcp->port);
  }
  return std::make_unique<AsioSerialPort>(io, log, options.devDir);
}

std::string SettingsPath() {
  return ExeFolder() + std::string(kSettingsFileName);
}

}  // namespace

ReceiverEngine::ReceiverEngine(boost::asio::io_context& io, const Clock& clock,
                               TimerFactory& timers, HostObserver& observer, const Options& options)
    : clock_(clock),
      host_(options.host),
      log_(MakeHostLogger(options.host, clock, observer)),
      watchDog_(timers),
      stationPort_(MakeStationPort(io, *log_, options)),
      journal_(ExeFolder() + std::string(kStationJournalFileName), *log_),
      link_(*stationPort_, clock, timers, *log_, options.host, observer, settings_),
      database_(tables_, *log_, DatabaseOptions(options, observer, tables_.CommTrLimits)),
      supervisor_(tables_, database_, link_, clock, timers, *log_, options.host, observer,
                  settings_),
      station_(link_, supervisor_, settings_),
      frames_(tables_, database_, station_, watchDog_, settings_, clock, *log_, options.host,
              observer),
      commands_(tables_, frames_, custom_, settings_, clock, *log_, observer),
      operator_(commands_, database_, tables_, settings_, adminPassword_, observer),
      transports_(io, *log_, engineLock_, settings_),
      editor_(settings_, *this, *log_, options.host) {
  watchDog_.OnTimeout = [this](const std::string& key) { frames_.DeliverBufCmd(key); };
  transports_.SetFrameHandler(
      [this](const Route& route, std::string_view frame) { frames_.ProcessRecMsg(route, frame); });
  link_.SetJournal(&journal_);
  // The file writes of one loop turn leave together: the "All msg" lines as
  // one write, the journal with one sync. That happens after the handlers at
  // hand, and before any answer of theirs leaves a socket (whichever comes
  // first), so a frame is answered only once what it caused is on disk.
  const auto endOfTurn = [this, &io] { boost::asio::post(io, [this] { EndOfTurn(); }); };
  log_->DeferWrites(endOfTurn);
  journal_.SetSyncRequest(endOfTurn);
  transports_.SetBeforeAnswers([this] { EndOfTurn(); });
  // Alarms wait for the turn's one journal sync rather than a sync per batch.
  transports_.SetEarlyAnswers([this] { return !journal_.SyncPending(); });
}

void ReceiverEngine::EndOfTurn() noexcept {
  Guarded(*log_, "FlushWrites", [&] { log_->FlushWrites(); });
  Guarded(*log_, "StationJournal", [&] { journal_.Sync(); });
}

ReceiverEngine::~ReceiverEngine() {
  transports_.Release();
}

bool ReceiverEngine::StartUp() {
  log_->LogApplicationStarted();
  supervisor_.SetStartTime(clock_.Now());
  if (host_ == HostKind::Desktop) {
    custom_.AppendCustomCmdToPopupMenu(ExeFolder() + std::string(kCustomCommandsFileName), *log_);
  }
  const std::string settingsPath = SettingsPath();
  RewriteSettingsFile_Old2New(settingsPath, *log_);
  if (std::optional<SettingsRead> read = ReadSettings(editor_, settingsPath)) {
    shown_ = read->shown;
  }
  // Lines of a run that ended without an orderly stop go out first, also
  // when the unit database cannot be loaded.
  link_.RestoreLines(journal_.Replay());
  if (!database_.ConnDB() || !database_.ReadDB_and_FillU_onStartUp(CommTrDefaults(settings_))) {
    return false;
  }
  transports_.ActivateSrvPort(true);
  transports_.SetStarted(true);
  link_.PingMonitSoft();
  supervisor_.EnableTimer();
  link_.EnableTimers();
  return true;
}

void ReceiverEngine::Stop() {
  if (host_ == HostKind::Desktop) {
    SaveCommTrData(kCommTrDataPath, tables_.CommTrLimits, CommTrDefaults(settings_), *log_);
  } else if (const size_t unsent = link_.UnsentLineCount(); unsent > 0) {
    log_->LogAllMsg(UnsentLinesNote(unsent));
  }
  link_.DropWaitingLines();
  // The connections go with the process, without a line each: with thousands
  // of units they would bury "Application closed" under their lines.
  transports_.Release();
  log_->LogApplicationClosed();
}

void ReceiverEngine::EditSetting(size_t row, std::string_view typed) {
  shown_ = PostSettingEdit(editor_, SettingsPath(), shown_, row, typed);
}

void ReceiverEngine::SetPlaySounds(bool on) {
  shown_.playSounds = on;
  SaveSettings(SettingsPath(), shown_, *log_);
}

void ReceiverEngine::EditCommTrLimit(uint16_t unit, int level, int32_t minutes) {
  // The grid's threshold fields hold 16 bits; anything else is ignored.
  if (Started() && level >= 1 && level <= 3 && minutes >= 0 && minutes <= 0xFFFF) {
    tables_.CommTrLimits[unit][static_cast<size_t>(level - 1)] = minutes;
  }
}

void ReceiverEngine::ActivateSrvPort(bool force) {
  transports_.ActivateSrvPort(force);
}

void ReceiverEngine::DoActivateSerialPort() {
  link_.DoActivateSerialPort();
}

void ReceiverEngine::PingMonitSoft() {
  link_.PingMonitSoft();
}

void ReceiverEngine::ApplyPingInterval() {
  link_.ApplyPingInterval();
}

void ReceiverEngine::ChangeCommTrDefault(int level, std::optional<int32_t> value) {
  talvero::ChangeCommTrDefault(settings_, tables_.CommTrLimits, level, value.value_or(-1));
}

}  // namespace talvero
