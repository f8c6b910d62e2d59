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

// Byte access to an SRv6 entry's view data; writable only through a non-const entry.
template <bool Writable>
class Srv6ViewBytes {
 public:
  using Byte = std::conditional_t<Writable, std::uint8_t, std::uint8_t const>;
  explicit Srv6ViewBytes(std::span<Byte, kSrv6ViewDataBytes> bytes) noexcept : bytes_(bytes) {}

 protected:
  std::uint8_t byteAt(std::size_t offset) const noexcept { return bytes_[offset]; }
  void byteAtIs(std::size_t offset, std::uint8_t value) const noexcept requires Writable {
    bytes_[offset] = value;
  }
  // 16-bit values are held big-endian, most significant byte first.
  std::uint16_t be16At(std::size_t offset) const noexcept {
    return static_cast<std::uint16_t>(bytes_[offset] << 8 | bytes_[offset + 1]);
  }
  void be16AtIs(std::size_t offset, std::uint16_t value) const noexcept requires Writable {
    bytes_[offset] = static_cast<std::uint8_t>(value >> 8);
    bytes_[offset + 1] = static_cast<std::uint8_t>(value);
  }
  std::span<Byte, kSrv6ViewDataBytes> bytes_;
};

}  // namespace detail

// View 0: the SRv6 header entry.
template <bool Writable>
class EtpsSrv6150ViewT : public detail::Srv6ViewBytes<Writable> {
 public:
  static constexpr std::size_t kNofSids = 2;
  static constexpr std::size_t kSrhRoutingType = 3;

  using detail::Srv6ViewBytes<Writable>::Srv6ViewBytes;

  // Number of SIDs of the segment list; low 5 bits used.
  std::uint8_t nofSids() const noexcept { return this->byteAt(kNofSids); }
  void nofSidsIs(std::uint8_t v) const noexcept requires Writable { this->byteAtIs(kNofSids, v); }
  std::uint8_t srhRoutingType() const noexcept { return this->byteAt(kSrhRoutingType); }
  void srhRoutingTypeIs(std::uint8_t v) const noexcept requires Writable {
    this->byteAtIs(kSrhRoutingType, v);
  }
};
using EtpsSrv6150View = EtpsSrv6150ViewT<true>;
using EtpsSrv6150ConstView = EtpsSrv6150ViewT<false>;

// View 1: one 128-bit SID, bytes 0 to 15 in network order.
template <bool Writable>
class EtpsDataSid150ViewT : public detail::Srv6ViewBytes<Writable> {
 public:
  static constexpr std::size_t kSid = 0;
  static constexpr std::size_t kSidBytes = 16;

  using detail::Srv6ViewBytes<Writable>::Srv6ViewBytes;

  Plexo::IpGenAddr sid() const noexcept {
    std::array<std::uint8_t, kSidBytes> octets{};
    for (std::size_t i = 0; i < kSidBytes; ++i) octets[i] = this->byteAt(kSid + i);
    return Plexo::IpGenAddr::v6(octets);
  }
  // An IPv4 address is held in its IPv4-mapped IPv6 form.
  void sidIs(Plexo::IpGenAddr const& sid) const noexcept requires Writable {
    auto const octets = sid.v6Addr();
    for (std::size_t i = 0; i < kSidBytes; ++i) this->byteAtIs(kSid + i, octets[i]);
  }
};
using EtpsDataSid150View = EtpsDataSid150ViewT<true>;
using EtpsDataSid150ConstView = EtpsDataSid150ViewT<false>;

// View 2: the outer IPv6 tunnel entry. Bytes 0 to 3, 6, 12 and 13 carry nothing for the EEDB.
template <bool Writable>
class EtpsIpv6TunnelRaw150ViewT : public detail::Srv6ViewBytes<Writable> {
 public:
  static constexpr std::size_t kFodo = 4;  // and 5, big-endian
  static constexpr std::size_t kActionProfile = 7;
  static constexpr std::size_t kNwkQosIdx = 8;
  static constexpr std::size_t kEncapQosModel = 9;
  static constexpr std::size_t kTtlDecrementDisable = 10;
  static constexpr std::size_t kTtlMode = 11;
  static constexpr std::size_t kRemarkProfile = 14;
  static constexpr std::size_t kSourceIdx = 15;
  static constexpr std::size_t kTtlPipeProfile = 16;
  static constexpr std::size_t kForwardQosModel = 17;

  using detail::Srv6ViewBytes<Writable>::Srv6ViewBytes;

  // Low 10 bits used.
  std::uint16_t fodo() const noexcept { return this->be16At(kFodo); }
  void fodoIs(std::uint16_t v) const noexcept requires Writable { this->be16AtIs(kFodo, v); }
  // Low 2 bits used.
  std::uint8_t actionProfile() const noexcept { return this->byteAt(kActionProfile); }
  void actionProfileIs(std::uint8_t v) const noexcept requires Writable {
    this->byteAtIs(kActionProfile, v);
  }
  // Low 6 bits used.
  std::uint8_t nwkQosIdx() const noexcept { return this->byteAt(kNwkQosIdx); }
  void nwkQosIdxIs(std::uint8_t v) const noexcept requires Writable {
    this->byteAtIs(kNwkQosIdx, v);
  }
  // Low 3 bits used.
  std::uint8_t encapQosModel() const noexcept { return this->byteAt(kEncapQosModel); }
  void encapQosModelIs(std::uint8_t v) const noexcept requires Writable {
    this->byteAtIs(kEncapQosModel, v);
  }
  // Low bit used.
  std::uint8_t ttlDecrementDisable() const noexcept { return this->byteAt(kTtlDecrementDisable); }
  void ttlDecrementDisableIs(std::uint8_t v) const noexcept requires Writable {
    this->byteAtIs(kTtlDecrementDisable, v);
  }
  // Low bit used.
  std::uint8_t ttlMode() const noexcept { return this->byteAt(kTtlMode); }
  void ttlModeIs(std::uint8_t v) const noexcept requires Writable { this->byteAtIs(kTtlMode, v); }
  // Low 5 bits used.
  std::uint8_t remarkProfile() const noexcept { return this->byteAt(kRemarkProfile); }
  void remarkProfileIs(std::uint8_t v) const noexcept requires Writable {
    this->byteAtIs(kRemarkProfile, v);
  }
  std::uint8_t sourceIdx() const noexcept { return this->byteAt(kSourceIdx); }
  void sourceIdxIs(std::uint8_t v) const noexcept requires Writable {
    this->byteAtIs(kSourceIdx, v);
  }
  // Low 4 bits used.
  std::uint8_t ttlPipeProfile() const noexcept { return this->byteAt(kTtlPipeProfile); }
  void ttlPipeProfileIs(std::uint8_t v) const noexcept requires Writable {
    this->byteAtIs(kTtlPipeProfile, v);
  }
  // Low bit used.
  std::uint8_t forwardQosModel() const noexcept { return this->byteAt(kForwardQosModel); }
  void forwardQosModelIs(std::uint8_t v) const noexcept requires Writable {
    this->byteAtIs(kForwardQosModel, v);
  }
};
using EtpsIpv6TunnelRaw150View = EtpsIpv6TunnelRaw150ViewT<true>;
using EtpsIpv6TunnelRaw150ConstView = EtpsIpv6TunnelRaw150ViewT<false>;

class EedbSrv6LogEntry {
 public:
  using ViewData = std::array<std::uint8_t, kSrv6ViewDataBytes>;

  constexpr EedbSrv6EntryKey key() const noexcept { return key_; }
  constexpr void keyIs(EedbSrv6EntryKey v) noexcept { key_ = v; }
  // 20 bits go to hardware.
  constexpr std::uint32_t nextOutlifPointer() const noexcept { return nextOutlifPointer_; }
  constexpr void nextOutlifPointerIs(std::uint32_t v) noexcept { nextOutlifPointer_ = v; }
  // View 2 only; 0x1FFFF and above: no statistics object.
  constexpr std::uint32_t statObjectId() const noexcept { return statObjectId_; }
  constexpr void statObjectIdIs(std::uint32_t v) noexcept { statObjectId_ = v; }
  constexpr EedbSrv6View viewType() const noexcept { return viewType_; }
  constexpr void viewTypeIs(EedbSrv6View v) noexcept { viewType_ = v; }

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

 private:
  EedbSrv6EntryKey key_;
  std::uint32_t nextOutlifPointer_ = 0;
  std::uint32_t statObjectId_ = 0;
  EedbSrv6View viewType_;
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

namespace detail {

inline constexpr std::string_view kSrv6ViewSelector = "viewType";

template <std::uint8_t View>
bool srv6HoldsView(EedbSrv6LogEntry const& e) {
  return e.viewType().value() == View;
}

// The view data of one view: only for entries of that view type.
template <std::uint8_t View>
inline constexpr Selected<EedbSrv6LogEntry> srv6View{&srv6HoldsView<View>, kSrv6ViewSelector, View};

}  // namespace detail

}  // namespace ZuriErrm

template <>
struct fmt::formatter<ZuriErrm::EedbSrv6View> : fmt::formatter<unsigned> {
  auto format(ZuriErrm::EedbSrv6View const& v, format_context& ctx) const {
    return fmt::formatter<unsigned>::format(v.value(), ctx);
  }
};

template <>
struct ZuriErrm::Fields<ZuriErrm::EtpsSrv6150ConstView> {
  using R = ZuriErrm::EtpsSrv6150ConstView;
  using W = ZuriErrm::EtpsSrv6150View;
  static constexpr auto list = std::tuple{
      field<&R::nofSids, &W::nofSidsIs>("nofSids"),
      field<&R::srhRoutingType, &W::srhRoutingTypeIs>("srhRoutingType"),
  };
};

template <>
struct ZuriErrm::Fields<ZuriErrm::EtpsDataSid150ConstView> {
  using R = ZuriErrm::EtpsDataSid150ConstView;
  using W = ZuriErrm::EtpsDataSid150View;
  static constexpr auto list = std::tuple{
      field<&R::sid, &W::sidIs>("sid"),
  };
};

template <>
struct ZuriErrm::Fields<ZuriErrm::EtpsIpv6TunnelRaw150ConstView> {
  using R = ZuriErrm::EtpsIpv6TunnelRaw150ConstView;
  using W = ZuriErrm::EtpsIpv6TunnelRaw150View;
  static constexpr auto list = std::tuple{
      field<&R::fodo, &W::fodoIs>("fodo"),
      field<&R::actionProfile, &W::actionProfileIs>("actionProfile"),
      field<&R::nwkQosIdx, &W::nwkQosIdxIs>("nwkQosIdx"),
      field<&R::encapQosModel, &W::encapQosModelIs>("encapQosModel"),
      field<&R::ttlDecrementDisable, &W::ttlDecrementDisableIs>("ttlDecrementDisable"),
      field<&R::ttlMode, &W::ttlModeIs>("ttlMode"),
      field<&R::remarkProfile, &W::remarkProfileIs>("remarkProfile"),
      field<&R::sourceIdx, &W::sourceIdxIs>("sourceIdx"),
      field<&R::ttlPipeProfile, &W::ttlPipeProfileIs>("ttlPipeProfile"),
      field<&R::forwardQosModel, &W::forwardQosModelIs>("forwardQosModel"),
  };
};

template <>
struct ZuriErrm::Fields<ZuriErrm::EedbSrv6LogEntry> {
  using E = ZuriErrm::EedbSrv6LogEntry;
  static constexpr std::string_view table = "EedbSrv6";
  static constexpr auto list = std::tuple{
      field<&E::key, &E::keyIs>("key"),
      field<&E::nextOutlifPointer, &E::nextOutlifPointerIs>("nextOutlifPointer"),
      field<&E::statObjectId, &E::statObjectIdIs>("statObjectId"),
      field<&E::viewType, &E::viewTypeIs>(detail::kSrv6ViewSelector),
      group<static_cast<EtpsSrv6150ConstView (E::*)() const noexcept>(&E::etpsSrv6150),
            static_cast<EtpsSrv6150View (E::*)() noexcept>(&E::etpsSrv6150)>("etpsSrv6150",
                                                                             detail::srv6View<0>),
      group<static_cast<EtpsDataSid150ConstView (E::*)() const noexcept>(&E::etpsDataSid150),
            static_cast<EtpsDataSid150View (E::*)() noexcept>(&E::etpsDataSid150)>(
          "etpsDataSid150", detail::srv6View<1>),
      group<static_cast<EtpsIpv6TunnelRaw150ConstView (E::*)() const noexcept>(
                &E::etpsIpv6TunnelRaw150),
            static_cast<EtpsIpv6TunnelRaw150View (E::*)() noexcept>(&E::etpsIpv6TunnelRaw150)>(
          "etpsIpv6TunnelRaw150", detail::srv6View<2>),
  };
};
