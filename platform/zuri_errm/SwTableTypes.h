// Building blocks shared by the software table types: scalar software keys, the log Flume
// entry that carries a log entry with its unit id and flags, and the data part of every log
// entry wrapper.
#pragma once

#include <compare>
#include <concepts>
#include <cstdint>

#include <fmt/format.h>

#include "asic/LogEntryWrapperBase.h"
#include "asic/Types.h"
#include "plexo/Addresses.h"
#include "zuri_errm/FieldList.h"

namespace ZuriErrm {

namespace detail {

// Log entries hand out their addresses by reference.
template <>
struct ReadByReference<Plexo::IpGenAddr> : std::true_type {};
template <>
struct ReadByReference<Plexo::EthAddr> : std::true_type {};

// A software key that is one unsigned value; Tag keeps the keys of different tables apart.
template <class Tag, std::unsigned_integral T>
class ScalarKey {
 public:
  using ValueType = T;

  constexpr ScalarKey() noexcept = default;
  constexpr explicit ScalarKey(T value) noexcept : value_(value) {}

  constexpr T value() const noexcept { return value_; }
  constexpr void valueIs(T value) noexcept { value_ = value; }
  constexpr auto operator<=>(ScalarKey const&) const noexcept = default;

 private:
  T value_ = 0;
};

}  // namespace detail

// Opaque part of a log Flume entry: the pipeline copies it and never reads it.
struct LogFlumeHeader {
  std::uint64_t sequence = 0;
  constexpr bool operator==(LogFlumeHeader const&) const noexcept = default;
};

// Bits of a log Flume entry's flags byte; no other bit means anything.
struct LogFlumeFlags {
  static constexpr std::uint8_t kDelete = 0x01;
  static constexpr std::uint8_t kTableDelete = 0x02;
};

// What the agent's log carries for one software entry: header, log entry, unit id, flags.
template <class E>
class LogFlumeEntry {
 public:
  using LogEntry = E;

  constexpr LogFlumeEntry() noexcept = default;
  constexpr LogFlumeEntry(E const& logEntry, Asic::UnitId unitId, std::uint8_t flags = 0,
                          LogFlumeHeader header = {}) noexcept
      : header_(header), logEntry_(logEntry), unitId_(unitId), flags_(flags) {}

  constexpr LogFlumeHeader header() const noexcept { return header_; }
  constexpr void headerIs(LogFlumeHeader header) noexcept { header_ = header; }
  constexpr E const& logEntry() const noexcept { return logEntry_; }
  constexpr void logEntryIs(E const& logEntry) noexcept { logEntry_ = logEntry; }
  constexpr Asic::UnitId unitId() const noexcept { return unitId_; }
  constexpr void unitIdIs(Asic::UnitId unitId) noexcept { unitId_ = unitId; }
  constexpr std::uint8_t flags() const noexcept { return flags_; }
  constexpr void flagsIs(std::uint8_t flags) noexcept { flags_ = flags; }

  constexpr bool isDelete() const noexcept { return (flags_ & LogFlumeFlags::kDelete) != 0; }
  constexpr bool isTableDelete() const noexcept {
    return (flags_ & LogFlumeFlags::kTableDelete) != 0;
  }
  constexpr void deleteIs(bool on) noexcept { flagIs(LogFlumeFlags::kDelete, on); }
  constexpr void tableDeleteIs(bool on) noexcept { flagIs(LogFlumeFlags::kTableDelete, on); }

  constexpr bool operator==(LogFlumeEntry const&) const noexcept = default;

 private:
  constexpr void flagIs(std::uint8_t bit, bool on) noexcept {
    flags_ = static_cast<std::uint8_t>(on ? flags_ | bit : flags_ & ~bit);
  }

  LogFlumeHeader header_;
  E logEntry_;
  Asic::UnitId unitId_;
  std::uint8_t flags_ = 0;
};

namespace detail {

// The data of a table's log entry wrapper. Each wrapper class adds Asic::LogEntryWrapperBase
// and an out-of-line destructor, so that its type info lives once, in the platform library,
// and downcasts work across the plug-in boundary.
template <class Flume>
class WrapperData {
 public:
  using FlumeEntry = Flume;
  using LogEntry = typename Flume::LogEntry;

  explicit WrapperData(Flume const& flumeEntry) noexcept : flumeEntry_(flumeEntry) {}
  WrapperData(LogEntry const& logEntry, Asic::UnitId unitId, std::uint8_t flags = 0) noexcept
      : flumeEntry_(logEntry, unitId, flags) {}

  Flume const& flumeEntry() const noexcept { return flumeEntry_; }
  // Carries another entry: only for the sole holder of the wrapper, which hands it out again
  // (ZuriErrm::WrapperSlots), never while anyone else holds it.
  void flumeEntryIs(Flume const& flumeEntry) noexcept { flumeEntry_ = flumeEntry; }
  LogEntry const& logEntry() const noexcept { return flumeEntry_.logEntry(); }
  Asic::UnitId unitId() const noexcept { return flumeEntry_.unitId(); }
  std::uint8_t flags() const noexcept { return flumeEntry_.flags(); }
  bool isDelete() const noexcept { return flumeEntry_.isDelete(); }
  bool isTableDelete() const noexcept { return flumeEntry_.isTableDelete(); }

 private:
  Flume flumeEntry_;
};

}  // namespace detail

template <class W>
concept IsLogEntryWrapper = std::derived_from<W, Asic::LogEntryWrapperBase> && requires {
  typename W::FlumeEntry;
};

}  // namespace ZuriErrm

// A scalar key prints as its number.
template <class Tag, class T>
struct fmt::formatter<ZuriErrm::detail::ScalarKey<Tag, T>> : fmt::formatter<T> {
  auto format(ZuriErrm::detail::ScalarKey<Tag, T> const& key, format_context& ctx) const {
    return fmt::formatter<T>::format(key.value(), ctx);
  }
};

// EedbOutrifLogFlumeEntry(unitId=0x0100, flags=0x01, logEntry=EedbOutrifLogEntry(...))
template <class E>
struct fmt::formatter<ZuriErrm::LogFlumeEntry<E>> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(ZuriErrm::LogFlumeEntry<E> const& f, format_context& ctx) const {
    return fmt::format_to(ctx.out(), "{}LogFlumeEntry(unitId={}, flags=0x{:02x}, logEntry={})",
                          ZuriErrm::Fields<E>::table, f.unitId(), f.flags(), f.logEntry());
  }
};

// A wrapper prints as the log Flume entry it carries.
template <ZuriErrm::IsLogEntryWrapper W>
struct fmt::formatter<W> : fmt::formatter<typename W::FlumeEntry> {
  auto format(W const& w, fmt::format_context& ctx) const {
    return fmt::formatter<typename W::FlumeEntry>::format(w.flumeEntry(), ctx);
  }
};
