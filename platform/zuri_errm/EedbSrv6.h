// ZuriErrm::EedbSrv6*: the software SRv6 tunnel table (SRv6 header, SID data and outer IPv6
// tunnel entries): its key, view selector, log entry with its three views over the view data,
// log Flume entry, wrapper and constants.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

#include <fmt/format.h>

#include "plexo/Addresses.h"
#include "zuri_errm/SwTableTypes.h"

namespace ZuriErrm {

using EedbSrv6EntryKey = detail::ScalarKey<struct EedbSrv6KeyTag, std::uint32_t>;

// Which view the entry's view data holds; values above 2 mean no view.
class EedbSrv6View {
 public:
  constexpr EedbSrv6View() noexcept = default;
  constexpr explicit EedbSrv6View(std::uint8_t value) noexcept : value_(value) {}

  static constexpr EedbSrv6View etpsSrv6150() noexcept { return EedbSrv6View(0); }
  static constexpr EedbSrv6View etpsDataSid150() noexcept { return EedbSrv6View(1); }
  static constexpr EedbSrv6View etpsIpv6TunnelRaw150() noexcept { return EedbSrv6View(2); }

  constexpr std::uint8_t value() const noexcept { return value_; }
  constexpr auto operator<=>(EedbSrv6View const&) const noexcept = default;

 private:
  std::uint8_t value_ = 0;
};

inline constexpr std::size_t kSrv6ViewDataBytes = 18;

namespace detail {

// Byte access to an SRv6 entry's view data; writable only through a non-const entry. A 16-bit
// value is held big-endian, most significant byte first; an address as the 16 bytes of its IPv6
// form in network order (an IPv4 address in its IPv4-mapped form).
template <bool Writable>
class Srv6ViewBytes {
 public:
  using Byte = std::conditional_t<Writable, std::uint8_t, std::uint8_t const>;
  explicit Srv6ViewBytes(std::span<Byte, kSrv6ViewDataBytes> bytes) noexcept : bytes_(bytes) {}

 public:
  template <class T>
  T at(std::size_t offset) const noexcept {
    if constexpr (std::is_same_v<T, std::uint8_t>) {
      return bytes_[offset];
    } else if constexpr (std::is_same_v<T, std::uint16_t>) {
      return static_cast<std::uint16_t>(bytes_[offset] << 8 | bytes_[offset + 1]);
    } else {
      static_assert(std::is_same_v<T, Plexo::IpGenAddr>);
      std::array<std::uint8_t, 16> octets{};
      for (std::size_t i = 0; i < octets.size(); ++i) octets[i] = bytes_[offset + i];
      return Plexo::IpGenAddr::v6(octets);
    }
  }
  template <class T>
  void atIs(std::size_t offset, T const& value) const noexcept requires Writable {
    if constexpr (std::is_same_v<T, std::uint8_t>) {
      bytes_[offset] = value;
    } else if constexpr (std::is_same_v<T, std::uint16_t>) {
      bytes_[offset] = static_cast<std::uint8_t>(value >> 8);
      bytes_[offset + 1] = static_cast<std::uint8_t>(value);
    } else {
      static_assert(std::is_same_v<T, Plexo::IpGenAddr>);
      auto const octets = value.v6Addr();
      for (std::size_t i = 0; i < octets.size(); ++i) bytes_[offset + i] = octets[i];
    }
  }

 private:
  std::span<Byte, kSrv6ViewDataBytes> bytes_;
};

// A field of a view's field list: a T at a byte offset, read by of(view), written by write(view,
// v).
template <class T, std::size_t Offset>
struct Srv6Field {
  using Type = T;
  std::string_view name;
  static T of(Srv6ViewBytes<false> const& view) noexcept { return view.at<T>(Offset); }
  static void write(Srv6ViewBytes<true> const& view, T const& value) noexcept {
    view.atIs<T>(Offset, value);
  }
};

}  // namespace detail

// A view's fields come from one list macro per view, one line per field (type, name, byte
// offset, comment), as a log entry's do (EEDB_SW_RECORD in FieldList.h, and why these are
// macros): EEDB_SRV6_VIEW makes a getter and a setter per field and the view's field list.
#define EEDB_SRV6_VIEW_FIELD(Type, name, offset)                                     \
  Type name() const noexcept {                                                       \
    return this->template at<Type>(offset);                                          \
  }                                                                                  \
  void name##Is(::ZuriErrm::detail::Read<Type> v) const noexcept requires Writable { \
    this->template atIs<Type>(offset, v);                                            \
  }
#define EEDB_SRV6_VIEW_LISTED(Type, name, offset) \
  ::ZuriErrm::detail::Srv6Field<Type, offset>{#name},
#define EEDB_SRV6_VIEW(LIST)                        \
  LIST(EEDB_SRV6_VIEW_FIELD)                        \
  static constexpr auto fieldList() noexcept {      \
    return std::tuple{LIST(EEDB_SRV6_VIEW_LISTED)}; \
  }

// View 0: the SRv6 header entry.
#define EEDB_ETPS_SRV6_150_FIELDS(FIELD)                     \
  /* Number of SIDs of the segment list; low 5 bits used. */ \
  FIELD(std::uint8_t, nofSids, 2)                            \
  FIELD(std::uint8_t, srhRoutingType, 3)

template <bool Writable>
class EtpsSrv6150ViewT : public detail::Srv6ViewBytes<Writable> {
 public:
  using detail::Srv6ViewBytes<Writable>::Srv6ViewBytes;
  EEDB_SRV6_VIEW(EEDB_ETPS_SRV6_150_FIELDS)
};
using EtpsSrv6150View = EtpsSrv6150ViewT<true>;
using EtpsSrv6150ConstView = EtpsSrv6150ViewT<false>;

// View 1: one 128-bit SID, bytes 0 to 15 in network order.
#define EEDB_ETPS_DATA_SID_150_FIELDS(FIELD) FIELD(Plexo::IpGenAddr, sid, 0)

template <bool Writable>
class EtpsDataSid150ViewT : public detail::Srv6ViewBytes<Writable> {
 public:
  using detail::Srv6ViewBytes<Writable>::Srv6ViewBytes;
  EEDB_SRV6_VIEW(EEDB_ETPS_DATA_SID_150_FIELDS)
};
using EtpsDataSid150View = EtpsDataSid150ViewT<true>;
using EtpsDataSid150ConstView = EtpsDataSid150ViewT<false>;

// View 2: the outer IPv6 tunnel entry. Bytes 0 to 3, 6, 12 and 13 carry nothing for the EEDB.
#define EEDB_ETPS_IPV6_TUNNEL_RAW_150_FIELDS(FIELD)                           \
  FIELD(std::uint16_t, fodo, 4)                /* and 5; low 10 bits used. */ \
  FIELD(std::uint8_t, actionProfile, 7)        /* Low 2 bits used. */         \
  FIELD(std::uint8_t, nwkQosIdx, 8)            /* Low 6 bits used. */         \
  FIELD(std::uint8_t, encapQosModel, 9)        /* Low 3 bits used. */         \
  FIELD(std::uint8_t, ttlDecrementDisable, 10) /* Low bit used. */            \
  FIELD(std::uint8_t, ttlMode, 11)             /* Low bit used. */            \
  FIELD(std::uint8_t, remarkProfile, 14)       /* Low 5 bits used. */         \
  FIELD(std::uint8_t, sourceIdx, 15)                                          \
  FIELD(std::uint8_t, ttlPipeProfile, 16)  /* Low 4 bits used. */             \
  FIELD(std::uint8_t, forwardQosModel, 17) /* Low bit used. */

template <bool Writable>
class EtpsIpv6TunnelRaw150ViewT : public detail::Srv6ViewBytes<Writable> {
 public:
  using detail::Srv6ViewBytes<Writable>::Srv6ViewBytes;
  EEDB_SRV6_VIEW(EEDB_ETPS_IPV6_TUNNEL_RAW_150_FIELDS)
};
using EtpsIpv6TunnelRaw150View = EtpsIpv6TunnelRaw150ViewT<true>;
using EtpsIpv6TunnelRaw150ConstView = EtpsIpv6TunnelRaw150ViewT<false>;

// The fields of the log entry but its view data, in storage order (see EEDB_SW_RECORD).
#define EEDB_SRV6_FIELDS(FIELD)                               \
  FIELD(EedbSrv6EntryKey, key)                                \
  /* 20 bits go to hardware. */                               \
  FIELD(std::uint32_t, nextOutlifPointer)                     \
  /* View 2 only; 0x1FFFF and above: no statistics object. */ \
  FIELD(std::uint32_t, statObjectId)                          \
  FIELD(EedbSrv6View, viewType)

class EedbSrv6LogEntry {
 public:
  using ViewData = std::array<std::uint8_t, kSrv6ViewDataBytes>;

  // The views read the same bytes; only the one that viewType names means anything.
  EtpsSrv6150ConstView etpsSrv6150() const noexcept { return EtpsSrv6150ConstView(viewData_); }
  EtpsSrv6150View etpsSrv6150() noexcept { return EtpsSrv6150View(viewData_); }
  EtpsDataSid150ConstView etpsDataSid150() const noexcept {
    return EtpsDataSid150ConstView(viewData_);
  }
  EtpsDataSid150View etpsDataSid150() noexcept { return EtpsDataSid150View(viewData_); }
  EtpsIpv6TunnelRaw150ConstView etpsIpv6TunnelRaw150() const noexcept {
    return EtpsIpv6TunnelRaw150ConstView(viewData_);
  }
  EtpsIpv6TunnelRaw150View etpsIpv6TunnelRaw150() noexcept {
    return EtpsIpv6TunnelRaw150View(viewData_);
  }

  constexpr ViewData const& viewData() const noexcept { return viewData_; }
  constexpr void viewDataIs(ViewData const& v) noexcept { viewData_ = v; }

  bool operator==(EedbSrv6LogEntry const&) const noexcept = default;

  // The view data as three groups of fields, each meaning something for one view type.
  static constexpr auto views() noexcept {
    using E = EedbSrv6LogEntry;
    return std::tuple{
        detail::View<EtpsSrv6150ViewT, &E::viewData_, &E::viewType_>{"etpsSrv6150", "viewType", 0},
        detail::View<EtpsDataSid150ViewT, &E::viewData_, &E::viewType_>{"etpsDataSid150",
                                                                        "viewType", 1},
        detail::View<EtpsIpv6TunnelRaw150ViewT, &E::viewData_, &E::viewType_>{
            "etpsIpv6TunnelRaw150", "viewType", 2}};
  }

  EEDB_SW_RECORD(EedbSrv6LogEntry, EEDB_SRV6_FIELDS)
  ViewData viewData_{};
};

using EedbSrv6LogFlumeEntry = LogFlumeEntry<EedbSrv6LogEntry>;

class EedbSrv6LogEntryWrapper final : public Asic::LogEntryWrapperBase,
                                      public detail::WrapperData<EedbSrv6LogFlumeEntry> {
 public:
  using WrapperData::WrapperData;
  ~EedbSrv6LogEntryWrapper() override;
};

struct EedbSrv6Constants {
  static constexpr Asic::SwTableId swTableId{0x03010C09};
};

}  // namespace ZuriErrm

template <>
struct fmt::formatter<ZuriErrm::EedbSrv6View> : fmt::formatter<unsigned> {
  auto format(ZuriErrm::EedbSrv6View const& v, format_context& ctx) const {
    return fmt::formatter<unsigned>::format(v.value(), ctx);
  }
};

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbSrv6LogEntry> {
  static constexpr std::string_view table = "EedbSrv6";
  // The entry's own fields, then the data of each view.
  static constexpr auto list =
      std::tuple_cat(ZuriErrm::EedbSrv6LogEntry::fieldList(), ZuriErrm::EedbSrv6LogEntry::views());
};
