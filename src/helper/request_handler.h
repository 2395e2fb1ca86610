// The drive helper's answer to one request, apart from the socket: bytes in, answer bytes and
// what to do out. It runs as root for a user who authenticated once, so it does only what the
// program itself does: it opens the drives the drive list would list, with the program's two
// open modes, and sends them the four ATA commands of the reports.
#pragma once

#include <cstddef>
#include <cstdint>
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
    explicit RequestHandler(HelperPlaces places = {});
    ~RequestHandler();  // closes every descriptor it still holds
    RequestHandler(const RequestHandler&) = delete;
    RequestHandler& operator=(const RequestHandler&) = delete;

    // One packet as it arrived; fdsArrived says that the client sent descriptors with it, which
    // makes it malformed.
    Reply Handle(const std::uint8_t* bytes, std::size_t size, bool fdsArrived);

    std::size_t OpenCount() const { return m_open.size(); }

  private:
    Reply Open(const std::string& name, std::uint8_t opcode);
    Reply SendAta(std::uint32_t id, const std::uint8_t* regs);
    Reply Close(std::uint32_t id);

    HelperPlaces m_places;
    std::map<std::uint32_t, int> m_open;
    std::uint32_t m_nextId = 1;
};

// At most this many drives open at once on one connection.
inline constexpr std::size_t kMaxOpenDrives = 64;

}  // namespace orm::helper
