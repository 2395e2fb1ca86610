// The zero-fill engine: writes zeroes over [0, SectorCount x BytesPerSector) of the chosen
// drive through DeviceHandle, in WipeChunkSize writes, with the progress bar, the message pump
// and the error lines of the wipe log, then flushes the drive and closes with a line and a box.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wipe/wipe_context.h"

namespace orm {

inline constexpr const char* kSeekErrorPrefix = "Seek error occured at offset ";
inline constexpr const char* kWriteErrorPrefix = "Write Error occured at offset ";
inline constexpr const char* kFlushErrorPrefix =
    "Flush error: the drive did not confirm that the zeroes are on the medium, error code ";
inline constexpr const char* kWipeDoneText =
    "Wipe is done. You will have to create partitions and format this drive.   ";
inline constexpr const char* kWipeDoneCaption = "Format";
inline constexpr const char* kWipeErrorsCaption = "Wipe finished with errors";
inline constexpr const char* kWipeHiddenCaption = "Wipe finished with a warning";

// Positioning attempts at one offset before its chunk is given up as failed.
inline constexpr int kSeekAttempts = 3;

// Writes a wipe keeps in flight where the platform queues them. Measured on loop devices over
// memory and over a disk file: depth 2 gains the most, past 4 nothing more.
inline constexpr std::uint32_t kWipeQueueDepth = 4;

struct WipeOutcome {
    std::int64_t total = 0;          // bytes the wipe set out to write
    std::int64_t failedChunks = 0;   // chunks not positioned (after every attempt) or not written whole
    std::int64_t failedBytes = 0;    // the lengths of those chunks added up
    bool flushFailed = false;        // the drive did not confirm that the data is on the medium
    bool handleClosed = false;       // the main window closed DeviceHandle during a pump
    bool driveGone = false;          // a positioning, write or flush said the drive is no longer there
    std::uint32_t goneError = 0;     // with driveGone: the error code that said so
    std::int64_t stoppedAt = 0;      // with handleClosed or driveGone: the offset of the first chunk not
                                     // written (the total when the flush failed)
    std::int64_t hiddenSectors = 0;  // sectors the drive hides behind its end, which no wipe reaches

    bool Clean() const { return failedChunks == 0 && !flushFailed && !handleClosed && !driveGone; }
};

// True for the error codes that say the drive itself is gone (unplugged, its bridge reset, deleted
// by the system), as opposed to an error of the medium: nothing sent after them can reach it.
bool DriveGoneError(std::uint32_t code);

// How a wipe closes: the program's "done" sentence for a clean wipe of a drive that hides
// nothing, otherwise a plain account of what could not be written, or of where a wipe stopped by
// the window's close or a drive gone ended; sectors the drive hides are named as not erased in
// every account. The wipe log takes it in these lines, each short enough for the log's width.
std::vector<std::string> WipeClosingLines(const WipeOutcome& outcome);

// The same as one paragraph, for the closing box: the lines joined by blanks.
std::string WipeClosingText(const WipeOutcome& outcome);

// The lines after the wipe log's header for a drive that hides sectors: how many, and that the
// wipe cannot reach them. None when the drive hides none that are known.
std::vector<std::string> HiddenSectorsLines(std::int64_t hpaSectors, std::int64_t dcoSectors);

// Runs one wipe of the chosen drive. The busy state is the caller's.
//
// Every write is preceded by an absolute positioning at its offset, so a failed or short write
// never shifts the chunks after it. A failed positioning (or one that lands elsewhere) logs a
// seek error line and is tried again at the same offset in the next round of the loop, with
// its own progress update and pump; after kSeekAttempts failed attempts in all at that offset
// the chunk counts as failed, exactly like a failed write, and the wipe goes on with the next
// one. After the last chunk the drive is flushed; a failed flush is a failure of the wipe.
//
// Where the platform queues writes (OpenWriteQueue), up to kWipeQueueDepth of them are in flight
// at once, each at its own offset, so there is no positioning. What the window sees does not
// change: each chunk's line, the progress past it and the pump after it come once every chunk
// before it has completed, in offset order, whatever order the drive completes them in.
//
// A failure whose error code says the drive is gone (DriveGoneError) is logged like any other,
// then the wipe stops at once: one more line says where and why, nothing more is sent through
// the handle, and the warning box of a wipe with errors closes it. Retrying would only fill the
// log with a failure for every chunk left. Writes already in flight then complete without a line
// of their own; the lowest offset that failed that way is where the wipe stopped.
//
// The pump may run the main window's close handler, which closes DeviceHandle: when the pump
// says so (or DeviceHandle no longer holds the handle the wipe started with) the wipe stops at
// once, without another call on the handle, logs where it stopped and shows no box, since the
// program ends as soon as the click handler returns. Closing a handle waits for the writes in
// flight on it, so none outlives it.
//
// A drive that hides sectors (RunState's hidden counts) closes with the warning box even when
// every visible sector was written: those sectors are not erased.
WipeOutcome WipeDevice(WipeContext& ctx);

}  // namespace orm
