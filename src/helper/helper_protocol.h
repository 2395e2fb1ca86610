// The frames between the program and its drive helper. They travel over a SOCK_SEQPACKET
// socketpair, one frame per packet, and have fixed sizes: an 8-byte header (magic "ORMH",
// version, opcode, payload length as a little-endian 16-bit number) and a payload whose length
// each opcode fixes. Every answer has the same size; numbers are little-endian.
//
//   request             payload
//   Probe          1    kernel name of the drive, [a-z0-9], zero-padded to 32 bytes, then 1
//                       to ask the drive for its IDENTIFY block too, else 0 (1 byte)
//   OpenForWipe    2    kernel name, as above (32)
//   Ata            3    drive id (4), IDEREGS (8: features, count, sector number, cylinder
//                       low, cylinder high, drive/head, command, 0)
//   Close          4    drive id (4)
//
//   answer              errno (4, 0 = done), drive id (4), ATA outcome (4: ok, status came
//                       back, status, error), returned registers (12: all came back, 48-bit,
//                       count, LBA low, mid, high, device, then the previous count, LBA low,
//                       mid, high, 0), the drive's size in bytes (8) and logical sector size
//                       (4) (Probe), data (512: the IDENTIFY block of a Probe whose ATA outcome
//                       is ok). Only OpenForWipe's answer carries a descriptor (SCM_RIGHTS): a
//                       probe gets answers, never the drive. The helper's first frame, Ready (0),
//                       says it runs.
//
// The program and the helper of one build speak one version; either refuses any other.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orm::helper {

inline constexpr std::uint8_t kMagic[4] = {'O', 'R', 'M', 'H'};
inline constexpr std::uint8_t kVersion = 3;

enum Opcode : std::uint8_t {
    kReady = 0,
    kProbe = 1,
    kOpenForWipe = 2,
    kAta = 3,
    kClose = 4,
};

inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::size_t kNameField = 32;
inline constexpr std::size_t kIdSize = 4;
inline constexpr std::size_t kRegsSize = 8;
inline constexpr std::size_t kMaxRequest = kHeaderSize + kNameField + 1;
inline constexpr std::size_t kDataSize = 512;
inline constexpr std::size_t kReturnedRegsSize = 12;
inline constexpr std::size_t kProbeSize = 12;
inline constexpr std::size_t kAnswerPayload = 4 + kIdSize + 4 + kReturnedRegsSize + kProbeSize + kDataSize;
inline constexpr std::size_t kAnswerSize = kHeaderSize + kAnswerPayload;

// Offsets in an answer.
inline constexpr std::size_t kAnswerErrno = kHeaderSize;
inline constexpr std::size_t kAnswerId = kAnswerErrno + 4;
inline constexpr std::size_t kAnswerAta = kAnswerId + kIdSize;
inline constexpr std::size_t kAnswerRegs = kAnswerAta + 4;
inline constexpr std::size_t kAnswerProbe = kAnswerRegs + kReturnedRegsSize;
inline constexpr std::size_t kAnswerData = kAnswerProbe + kProbeSize;
static_assert(kAnswerData + kDataSize == kAnswerSize);

// The payload length of a request opcode; 0 for an opcode that is no request.
std::size_t PayloadLength(std::uint8_t opcode);

// A kernel disk name the helper takes: 1 to 31 characters, a-z and 0-9, and single "!"s between
// them where the disk's node sits in a folder of /dev (cciss!c0d0 is /dev/cciss/c0d0).
bool IsKernelName(std::string_view name);

// The helper's exit status: 0 when the program closed its end, kExitViolation after a request
// that is not a well-formed frame, kExitSocket when the socket failed, kExitUnconfined when it
// could not confine itself (it then never served), kExitNotStarted for arguments or a standard
// input that is not the program's socket.
inline constexpr int kExitSocket = 1;
inline constexpr int kExitNotStarted = 2;
inline constexpr int kExitUnconfined = 3;
inline constexpr int kExitViolation = 4;

// Requests as the program sends them.
std::vector<std::uint8_t> ProbeRequest(const std::string& name, bool identify);
std::vector<std::uint8_t> OpenRequest(const std::string& name);
std::vector<std::uint8_t> AtaRequest(std::uint32_t id, const std::uint8_t* ideRegs);
std::vector<std::uint8_t> CloseRequest(std::uint32_t id);

struct Answer {
    std::uint8_t opcode = 0;
    int err = 0;
    std::uint32_t id = 0;
    bool ataOk = false;
    bool haveStatus = false;
    std::uint8_t status = 0;
    std::uint8_t error = 0;
    bool haveRegisters = false;
    bool extended = false;
    // count, LBA low, mid, high, device, previous count, LBA low, mid, high
    std::array<std::uint8_t, 9> registers{};
    std::uint64_t sizeBytes = 0;   // Probe
    std::uint32_t sectorSize = 0;  // Probe: logical sector size
    std::array<std::uint8_t, kDataSize> data{};
};

// A request as the helper reads it. Only the fields of its opcode are set.
struct Request {
    std::uint8_t opcode = 0;
    std::string name;                            // Probe, OpenForWipe
    bool identify = false;                       // Probe
    std::uint32_t id = 0;                        // Ata, Close
    std::array<std::uint8_t, kRegsSize> regs{};  // Ata: the IDEREGS block
};

// What became of a packet: a request (err 0), or the refusal to answer with. A packet that is
// not a well-formed frame (bad header, unknown opcode, a length other than its opcode's, bytes
// after the payload, descriptors sent with it) also ends the helper (stop); a well-formed frame
// with a bad drive name, a non-zero reserved register byte or an IDENTIFY flag other than 0 or 1
// is refused with EINVAL, and the helper goes on.
struct DecodedRequest {
    Request request;
    int err = 0;
    bool stop = false;
};
DecodedRequest DecodeRequest(const std::uint8_t* bytes, std::size_t size, bool fdsArrived);

std::vector<std::uint8_t> EncodeAnswer(const Answer& a);
// False for anything that is not exactly one well-formed answer.
bool DecodeAnswer(const std::uint8_t* bytes, std::size_t size, Answer* a);

// One packet from the socket, with the descriptors that came with it (received close-on-exec;
// they are the caller's to keep or close). size is the packet's length, 0 when the other end
// has closed, -1 when the socket failed. truncated: the packet was longer than the buffer;
// oddControl: control data other than a complete list of descriptors came with it.
struct Packet {
    long size = -1;
    bool truncated = false;
    bool oddControl = false;
    std::vector<int> fds;
};
Packet ReceivePacket(int socket, std::uint8_t* buffer, std::size_t capacity);

}  // namespace orm::helper
