// The drive helper's answer to one request, apart from the socket: bytes in, answer bytes and
// what to do out. It runs as root for a user who authenticated once, so it does only what the
// program itself needs: it answers a probe of a drive the drive list would list (its size,
// sector size and IDENTIFY block, never its descriptor), opens the chosen drive for the wipe
// (that descriptor goes to the program), and sends that drive the ATA commands of the reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "helper/whole_disk.h"

namespace orm::helper {

// Where the helper finds device nodes and sysfs. The helper itself always uses the defaults;
// tests point them at trees of their own.
using HelperPlaces = DevicePlaces;

struct Reply {
    std::vector<std::uint8_t> bytes;  // one answer frame, always sent
    int fdToSend = -1;                // sent with the answer (the handler keeps its own copy)
    bool stop = false;                // the request was malformed: answer, then end
};

// Descriptors open on one connection, by id.
class RequestHandler {
  public:
    // narrow runs on the descriptor of each drive opened for the wipe before the answer goes
    // out (the helper narrows its files to that drive); its non-zero errno refuses the open.
    using Narrow = std::function<int(int fd)>;
    explicit RequestHandler(HelperPlaces places = {}, Narrow narrow = {});
    ~RequestHandler();  // closes every descriptor it still holds
    RequestHandler(const RequestHandler&) = delete;
    RequestHandler& operator=(const RequestHandler&) = delete;

    // One packet as it arrived; fdsArrived says that the client sent descriptors with it, which
    // makes it malformed.
    Reply Handle(const std::uint8_t* bytes, std::size_t size, bool fdsArrived);

    std::size_t OpenCount() const { return m_open.size(); }

  private:
    // 0, or the errno that refuses a probe or open of this name.
    int CheckName(const std::string& name) const;
    Reply Probe(const std::string& name, bool identify);
    Reply OpenForWipe(const std::string& name);
    Reply SendAta(std::uint32_t id, const std::uint8_t* regs);
    Reply Close(std::uint32_t id);

    HelperPlaces m_places;
    Narrow m_narrow;
    std::map<std::uint32_t, int> m_open;
    std::uint32_t m_nextId = 1;
};

// At most this many drives open at once on one connection.
inline constexpr std::size_t kMaxOpenDrives = 64;

}  // namespace orm::helper
