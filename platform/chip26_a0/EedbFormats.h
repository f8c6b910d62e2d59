// The EEDB entry formats of the MDB-backed table, each declared once as data: its class name,
// its size in bits (the number that ends the name) and its fields in packing order, bit 0 up. A
// field that holds an address says which kind (FieldKind), so that tools print it as one.
//
// Adding a format:
//   1. a table below: a struct named after the format, kName = that name + "Entry", kSizeBits,
//      kFields (widths and defaults; offsets are derived, and the layout is checked to fit);
//   2. its name at the end of CHIP26_A0_EEDB_FORMATS: its place there is its result type on the
//      chip, so appending keeps the others' codes; the list makes AllFormats and the entry class
//      EedbHwMdb::<name>Entry;
//   3. a field name that no format had before: a line in CHIP26_A0_EEDB_FIELDS (EedbEntry.h),
//      which gives it its typed accessors; the build refuses a field without one;
//   4. the table utility that writes it: a View in its Views and the format's rules in its table
//      file (the table contract refuses a view whose format has no rules);
//   5. `make docs` for docs/formats.md, and the goldens when an example stream shows the format.
//
// Fields whose names do not say what they do, and what the tables do with them:
//   fodo                 FODO value of the log entry, kept to the field's width (15 or 10 bits)
//   lifAhpIp, lifAhpUdp  the tunnel's LIF AHP profile: raw IP formats take its low 2 bits, UDP
//                        formats all 4; lifAhpMpls: the MPLS push entry's, 3 bits, checked
//   esemCommand          ESEM command of the encapsulation: tunnels copy it, VXLAN writes 1, the
//                        sFlow data entry its hardware value for chip 26:A0 (Gen3EsemCmds)
//   esemNameSpace, outLifProfile  copied from the VXLAN tunnel's log entry
//   sourceIdx            index of the tunnel source address
//   nwkQosIdx            network QoS index
//   encapQosModel, forwardQosModel, remarkProfile, ttlPipeProfile, ttlMode, actionProfile
//                        QoS, TTL and action profiles of the entry, copied from the log entry's
//                        fields of the same name (checked or cut where the widths differ)
//   egressLastLayer      VLAN edit flag of out-AC and ARP entries, 1 bit, checked
//   statObjectCmd, statObjectId  the statistics object: command 3 and the id when the id is
//                        below the field's all-ones value (FieldRules.h), else none
//   eventorId, oamLifSet the sFlow data entry's eventor id (copied) and OAM LIF flag (checked)
//   dataEntry2BReserved  always 3 in data entries: the chip expects it
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "chip26_a0/EntryLayout.h"

namespace chip26_a0::mdb::formats {

using layout::FieldKind;
using layout::layout;

// Egress router interface: QoS and MTU profiles of the out-RIF.
struct EedbRifBasicEtpsEthRif60 {
  static constexpr std::string_view kName = "EedbRifBasicEtpsEthRif60Entry";
  static constexpr unsigned kSizeBits = 60;
  static constexpr auto kFields = layout({
      {"forwardQosModel", 1},
      {"mtuProfile", 4},
      {"remarkProfile", 5},
      {"fodo", 15},
  });
};

// MPLS push of one label.
struct EedbMplsTunnelEtpsMpls190 {
  static constexpr std::string_view kName = "EedbMplsTunnelEtpsMpls190Entry";
  static constexpr unsigned kSizeBits = 90;
  static constexpr auto kFields = layout({
      {"mplsLabel", 20},
      {"nextOutlifPointer", 20},
  });
};

// MPLS push of one label, with statistics.
struct EedbMplsTunnelEtpsMpls1Stat150 {
  static constexpr std::string_view kName = "EedbMplsTunnelEtpsMpls1Stat150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"mplsLabel", 20},
      {"esemCommand", 3},
      {"lifAhpMpls", 3},
      {"nextOutlifPointer", 20},
      {"ttlPipeProfile", 4},
      {"ttlMode", 1},
      {"nwkQosIdx", 6},
      {"encapQosModel", 3},
      {"statObjectCmd", 5},
      {"statObjectId", 17},
  });
};

// MPLS push of two labels, with statistics.
struct EedbMplsTunnelEtpsMpls2Stat150 {
  static constexpr std::string_view kName = "EedbMplsTunnelEtpsMpls2Stat150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"mplsLabel", 20},
      {"mplsLabel2", 20},
      {"nextOutlifPointer", 20},
      {"ttlPipeProfile", 4},
      {"ttlMode", 1},
      {"nwkQosIdx", 6},
      {"encapQosModel", 3},
      {"statObjectCmd", 5},
      {"statObjectId", 17},
  });
};

// MPLS push of two labels, with statistics and a VLAN edit profile.
struct EedbMplsTunnelEtpsMpls2StatPlus150 {
  static constexpr std::string_view kName = "EedbMplsTunnelEtpsMpls2StatPlus150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"mplsLabel", 20},
      {"mplsLabel2", 20},
      {"vlanEditProfile", 3},
      {"nextOutlifPointer", 20},
      {"ttlPipeProfile", 4},
      {"ttlMode", 1},
      {"nwkQosIdx", 6},
      {"encapQosModel", 3},
      {"statObjectCmd", 5},
      {"statObjectId", 17},
  });
};

// MPLS data entries: the labels after the first two of a long label list, from mplsLabel3 on.
struct EedbMplsDataTunnelEtpsDataMpls190 {
  static constexpr std::string_view kName = "EedbMplsDataTunnelEtpsDataMpls190Entry";
  static constexpr unsigned kSizeBits = 90;
  static constexpr auto kFields = layout({
      {"mplsLabel3", 20},
      {"nextOutlifPointer", 20},
  });
};

struct EedbMplsDataTunnelEtpsDataMpls290 {
  static constexpr std::string_view kName = "EedbMplsDataTunnelEtpsDataMpls290Entry";
  static constexpr unsigned kSizeBits = 90;
  static constexpr auto kFields = layout({
      {"mplsLabel3", 20},
      {"mplsLabel4", 20},
      {"nextOutlifPointer", 20},
  });
};

struct EedbMplsDataTunnelEtpsDataMpls390 {
  static constexpr std::string_view kName = "EedbMplsDataTunnelEtpsDataMpls390Entry";
  static constexpr unsigned kSizeBits = 90;
  static constexpr auto kFields = layout({
      {"mplsLabel3", 20},
      {"mplsLabel4", 20},
      {"mplsLabel5", 20},
      {"nextOutlifPointer", 20},
  });
};

struct EedbMplsDataTunnelEtpsDataMpls4150 {
  static constexpr std::string_view kName = "EedbMplsDataTunnelEtpsDataMpls4150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"mplsLabel3", 20},
      {"mplsLabel4", 20},
      {"mplsLabel5", 20},
      {"mplsLabel6", 20},
      {"nextOutlifPointer", 20},
  });
};

struct EedbMplsDataTunnelEtpsDataMpls5150 {
  static constexpr std::string_view kName = "EedbMplsDataTunnelEtpsDataMpls5150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"mplsLabel3", 20},
      {"mplsLabel4", 20},
      {"mplsLabel5", 20},
      {"mplsLabel6", 20},
      {"mplsLabel7", 20},
      {"nextOutlifPointer", 20},
  });
};

struct EedbMplsDataTunnelEtpsDataMpls6150 {
  static constexpr std::string_view kName = "EedbMplsDataTunnelEtpsDataMpls6150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"mplsLabel3", 20},
      {"mplsLabel4", 20},
      {"mplsLabel5", 20},
      {"mplsLabel6", 20},
      {"mplsLabel7", 20},
      {"mplsLabel8", 20},
      {"nextOutlifPointer", 20},
  });
};

// MPLS label swap.
struct EedbMplsTunnelEtpsMplsSwap90 {
  static constexpr std::string_view kName = "EedbMplsTunnelEtpsMplsSwap90Entry";
  static constexpr unsigned kSizeBits = 90;
  static constexpr auto kFields = layout({
      {"mplsLabel", 20},
      {"nextOutlifPointer", 20},
  });
};

// SRv6 segment routing header.
struct EedbSrv6EtpsSrv6150 {
  static constexpr std::string_view kName = "EedbSrv6EtpsSrv6150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"nofSids", 5},
      {"srhSegmentLeft", 8},
      {"srhLastEntry", 8},
      {"srhHdrExtLen", 8},
      {"srhRoutingType", 8},
      {"nextOutlifPointer", 20},
  });
};

// One 128-bit SRv6 segment identifier; fills the entry exactly.
struct EedbSrv6DataSidEtpsDataSid150 {
  static constexpr std::string_view kName = "EedbSrv6DataSidEtpsDataSid150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"srv6SidData", 128, FieldKind::ipv6},  // a SID is written as an IPv6 address
      {"dataEntry2BReserved", 2, 3},          // the chip expects 3 in data entries
      {"nextOutlifPointer", 20},
  });
};

// Outer IPv6 header of an SRv6 tunnel.
struct EedbSrv6Ipv6TunnelEtpsIpv6TunnelRaw150 {
  static constexpr std::string_view kName = "EedbSrv6Ipv6TunnelEtpsIpv6TunnelRaw150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"forwardQosModel", 1},
      {"ttlPipeProfile", 4},
      {"sourceIdx", 8},
      {"remarkProfile", 5},
      {"ttlMode", 1},
      {"ttlDecrementDisable", 1},
      {"encapQosModel", 3},
      {"nwkQosIdx", 6},
      {"actionProfile", 2},
      {"statObjectCmd", 5},
      {"statObjectId", 17},
      {"fodo", 10},
      {"nextOutlifPointer", 20},
  });
};

// IPv4 tunnel without UDP; carries its own destination address and no next pointer.
struct EedbIpv4TunnelEtpsIpv4TunnelRaw150 {
  static constexpr std::string_view kName = "EedbIpv4TunnelEtpsIpv4TunnelRaw150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"sourceIdx", 8},
      {"statObjectCmd", 5},
      {"statObjectId", 17},
      {"lifAhpIp", 2},
      {"ttlPipeProfile", 4},
      {"mtuProfile", 4},
      {"remarkProfile", 5},
      {"ipv4HeaderDfFlag", 1},
      {"ipv4HeaderReservedFlag", 1},
      {"ttlMode", 1},
      {"ttlDecrementDisable", 1},
      {"encapQosModel", 3},
      {"nwkQosIdx", 6},
      {"actionProfile", 2},
      {"esemCommand", 6},
      {"ipv4Dip", 32, FieldKind::ipv4},
  });
};

// IPv4 tunnel over UDP; its statistics object id is only 16 bits wide.
struct EedbIpv4TunnelEtpsIpv4TunnelUdp150 {
  static constexpr std::string_view kName = "EedbIpv4TunnelEtpsIpv4TunnelUdp150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"sourceIdx", 8},
      {"statObjectCmd", 5},
      {"statObjectId", 16},
      {"actionProfile", 2},
      {"encapQosModel", 3},
      {"esemCommand", 6},
      {"fodo", 10},
      {"forwardQosModel", 1},
      {"ipv4Dip", 32, FieldKind::ipv4},
      {"ipv4HeaderDfFlag", 1},
      {"ipv4HeaderReservedFlag", 1},
      {"lifAhpUdp", 4},
      {"mtuProfile", 4},
      {"nextOutlifPointer", 20},
      {"nwkQosIdx", 6},
      {"remarkProfile", 5},
      {"ttlDecrementDisable", 1},
      {"ttlMode", 1},
      {"ttlPipeProfile", 4},
  });
};

// IPv6 tunnel over UDP; the destination lives in the IPv6 DIP data entry it points to.
struct EedbIpv6TunnelEtpsIpv6TunnelUdp150 {
  static constexpr std::string_view kName = "EedbIpv6TunnelEtpsIpv6TunnelUdp150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"sourceIdx", 8},
      {"statObjectCmd", 5},
      {"statObjectId", 17},
      {"actionProfile", 2},
      {"encapQosModel", 3},
      {"esemCommand", 6},
      {"fodo", 10},
      {"forwardQosModel", 1},
      {"lifAhpUdp", 4},
      {"mtuProfile", 4},
      {"nextOutlifPointer", 20},
      {"nwkQosIdx", 6},
      {"remarkProfile", 5},
      {"ttlDecrementDisable", 1},
      {"ttlMode", 1},
      {"ttlPipeProfile", 4},
  });
};

// IPv6 tunnel without UDP; points to its IPv6 DIP data entry.
struct EedbIpv6TunnelEtpsIpv6TunnelRaw150 {
  static constexpr std::string_view kName = "EedbIpv6TunnelEtpsIpv6TunnelRaw150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"sourceIdx", 8},
      {"lifAhpIp", 2},
      {"forwardQosModel", 1},
      {"ttlPipeProfile", 4},
      {"mtuProfile", 4},
      {"remarkProfile", 5},
      {"ttlMode", 1},
      {"ttlDecrementDisable", 1},
      {"encapQosModel", 3},
      {"nwkQosIdx", 6},
      {"actionProfile", 2},
      {"statObjectCmd", 5},
      {"statObjectId", 17},
      {"fodo", 10},
      {"esemCommand", 6},
      {"nextOutlifPointer", 20},
  });
};

// IPv6 tunnel destination address; fills the entry exactly.
struct EedbIpv6DataDipEtpsDataIpv6Dip150 {
  static constexpr std::string_view kName = "EedbIpv6DataDipEtpsDataIpv6Dip150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"ipv6Dip", 128, FieldKind::ipv6},
      {"dataEntry2BReserved", 2, 3},  // the chip expects 3 in data entries
      {"nextOutlifPointer", 20},
  });
};

// IPv4 VXLAN tunnel.
struct EedbIpv4TunnelEtpsIpv4TunnelVxlan150 {
  static constexpr std::string_view kName = "EedbIpv4TunnelEtpsIpv4TunnelVxlan150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"esemNameSpace", 4},
      {"outLifProfile", 3},
      {"ttlPipeProfile", 4},
      {"nwkQosIdx", 6},
      {"sourceIdx", 8},
      {"ipv4Dip", 32, FieldKind::ipv4},
      {"esemCommand", 3},
      {"ttlMode", 1},
      {"ipv4HeaderDfFlag", 1},
      {"nextOutlifPointer", 20},
  });
};

// ARP: destination MAC only.
struct EedbArpEtpsArp60 {
  static constexpr std::string_view kName = "EedbArpEtpsArp60Entry";
  static constexpr unsigned kSizeBits = 60;
  static constexpr auto kFields = layout({
      {"actionProfile", 2},
      {"l2Mac", 48, FieldKind::mac},
  });
};

// ARP with out-RIF data and statistics.
struct EedbArpEtpsRifArpStat120 {
  static constexpr std::string_view kName = "EedbArpEtpsRifArpStat120Entry";
  static constexpr unsigned kSizeBits = 120;
  static constexpr auto kFields = layout({
      {"actionProfile", 2},
      {"mtuProfile", 4},
      {"l2Mac", 48, FieldKind::mac},
      {"fodo", 15},
      {"statObjectCmd", 5},
      {"statObjectId", 17},
  });
};

// ARP with out-RIF data, one VLAN tag edit and statistics (a narrower statistics id).
struct EedbArpEtpsRifArpAc1TagStat120 {
  static constexpr std::string_view kName = "EedbArpEtpsRifArpAc1TagStat120Entry";
  static constexpr unsigned kSizeBits = 120;
  static constexpr auto kFields = layout({
      {"actionProfile", 2},
      {"egressLastLayer", 1},
      {"vlanEditProfile", 3},
      {"mtuProfile", 3},
      {"vlanEditVid1", 12},
      {"l2Mac", 48, FieldKind::mac},
      {"fodo", 15},
      {"statObjectCmd", 5},
      {"statObjectId", 15},
  });
};

// TAP aggregation: rewrite of the destination MAC.
struct EedbArpEtpsArpAcTapaggDest120 {
  static constexpr std::string_view kName = "EedbArpEtpsArpAcTapaggDest120Entry";
  static constexpr unsigned kSizeBits = 120;
  static constexpr auto kFields = layout({
      {"l2Mac", 48, FieldKind::mac},
  });
};

// TAP aggregation: rewrite of the destination and source MACs.
struct EedbArpEtpsArpAcTapaggDestAndSrc120 {
  static constexpr std::string_view kName = "EedbArpEtpsArpAcTapaggDestAndSrc120Entry";
  static constexpr unsigned kSizeBits = 120;
  static constexpr auto kFields = layout({
      {"l2Mac", 48, FieldKind::mac}, {"rawData", 48, FieldKind::mac},  // source MAC
  });
};

// Out-AC VLAN edit with statistics.
struct EedbOutAcEtpsAc3TagStat120 {
  static constexpr std::string_view kName = "EedbOutAcEtpsAc3TagStat120Entry";
  static constexpr unsigned kSizeBits = 120;
  static constexpr auto kFields = layout({
      {"egressLastLayer", 1},
      {"vlanEditProfile", 6},
      {"vlanEditVid1", 12},
      {"vlanEditVid2", 12},
      {"statObjectCmd", 5},
      {"statObjectId", 17},
  });
};

// Out-AC VLAN edit with statistics and a next pointer.
struct EedbOutAcEtpsAc3TagStat150 {
  static constexpr std::string_view kName = "EedbOutAcEtpsAc3TagStat150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"egressLastLayer", 1},
      {"vlanEditProfile", 6},
      {"vlanEditVid1", 12},
      {"vlanEditVid2", 12},
      {"statObjectCmd", 5},
      {"statObjectId", 17},
      {"nextOutlifPointer", 20},
  });
};

// sFlow first pass: sample and record header values.
struct EedbSflowEtpsSflowFirstPass150 {
  static constexpr std::string_view kName = "EedbSflowEtpsSflowFirstPass150Entry";
  static constexpr unsigned kSizeBits = 150;
  static constexpr auto kFields = layout({
      {"headerSampleSampleLength", 14},
      {"headerSampleSamplingRate", 32},
      {"headerSampleFlowRecord", 4},
      {"headerRecordEnterpriseFormat", 32},
      {"headerRecordDataLength", 14},
      {"headerRecordProtocol", 13},
      {"headerRecordSize", 14},
      {"nextOutlifPointer", 20},
  });
};

// sFlow first-pass data: ESEM command, OAM LIF flag and eventor.
struct EedbSflowEtpsSflowFirstPassData90 {
  static constexpr std::string_view kName = "EedbSflowEtpsSflowFirstPassData90Entry";
  static constexpr unsigned kSizeBits = 90;
  static constexpr auto kFields = layout({
      {"esemCommand", 6},
      {"oamLifSet", 1},
      {"eventorId", 8},
  });
};

// Statistics only, with a next pointer.
struct EedbStatEtpsOnlyStat90 {
  static constexpr std::string_view kName = "EedbStatEtpsOnlyStat90Entry";
  static constexpr unsigned kSizeBits = 90;
  static constexpr auto kFields = layout({
      {"nextOutlifPointer", 20},
      {"statObjectCmd", 5},
      {"statObjectId", 17},
  });
};

template <class... Formats>
struct FormatList {
  static constexpr std::size_t kCount = sizeof...(Formats);
};

// Every format, in result-type order: the first is result type 1. The list is written once:
// AllFormats and the entry classes of EedbHwMdb (FORMAT##Entry) are made from it.
#define CHIP26_A0_EEDB_FORMATS(X)           \
  X(EedbRifBasicEtpsEthRif60)               \
  X(EedbMplsTunnelEtpsMpls190)              \
  X(EedbMplsTunnelEtpsMpls1Stat150)         \
  X(EedbMplsTunnelEtpsMpls2Stat150)         \
  X(EedbMplsTunnelEtpsMpls2StatPlus150)     \
  X(EedbMplsDataTunnelEtpsDataMpls190)      \
  X(EedbMplsDataTunnelEtpsDataMpls290)      \
  X(EedbMplsDataTunnelEtpsDataMpls390)      \
  X(EedbMplsDataTunnelEtpsDataMpls4150)     \
  X(EedbMplsDataTunnelEtpsDataMpls5150)     \
  X(EedbMplsDataTunnelEtpsDataMpls6150)     \
  X(EedbMplsTunnelEtpsMplsSwap90)           \
  X(EedbSrv6EtpsSrv6150)                    \
  X(EedbSrv6DataSidEtpsDataSid150)          \
  X(EedbSrv6Ipv6TunnelEtpsIpv6TunnelRaw150) \
  X(EedbIpv4TunnelEtpsIpv4TunnelRaw150)     \
  X(EedbIpv4TunnelEtpsIpv4TunnelUdp150)     \
  X(EedbIpv6TunnelEtpsIpv6TunnelUdp150)     \
  X(EedbIpv6TunnelEtpsIpv6TunnelRaw150)     \
  X(EedbIpv6DataDipEtpsDataIpv6Dip150)      \
  X(EedbIpv4TunnelEtpsIpv4TunnelVxlan150)   \
  X(EedbArpEtpsArp60)                       \
  X(EedbArpEtpsRifArpStat120)               \
  X(EedbArpEtpsRifArpAc1TagStat120)         \
  X(EedbArpEtpsArpAcTapaggDest120)          \
  X(EedbArpEtpsArpAcTapaggDestAndSrc120)    \
  X(EedbOutAcEtpsAc3TagStat120)             \
  X(EedbOutAcEtpsAc3TagStat150)             \
  X(EedbSflowEtpsSflowFirstPass150)         \
  X(EedbSflowEtpsSflowFirstPassData90)      \
  X(EedbStatEtpsOnlyStat90)

namespace detail {
template <class... Formats>
struct Listed {
  template <class Format>
  using Then = Listed<Formats..., Format>;
  using Type = FormatList<Formats...>;
};
}  // namespace detail

#define CHIP26_A0_EEDB_FORMAT_ITEM(format) ::template Then<format>
using AllFormats = detail::Listed<> CHIP26_A0_EEDB_FORMATS(CHIP26_A0_EEDB_FORMAT_ITEM)::Type;
#undef CHIP26_A0_EEDB_FORMAT_ITEM

}  // namespace chip26_a0::mdb::formats
