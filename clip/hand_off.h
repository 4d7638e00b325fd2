#pragma once
// What the host application is told about the pictures a run produced: one line of text,
// and for a series the same line framed as a record for the shared section.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kamolt {

// The name of the registered message and of the shared section alike.
inline constexpr char kHandOffChannel[] = "DOZAZORID1";
inline constexpr char kHandOffFileName[] = "SendToZelvo.TXT";
inline constexpr char kHandOffMarkerClip[] = "C";
inline constexpr char kHandOffMarkerScan[] = "S";

// The record's frame: 0x04 and "OBILD01" in front, 0x04 behind.
inline constexpr std::size_t kHandOffRecordFrame = 9;
// Room in the shared section: more than any path the platform accepts, plus the frame, so
// every record of the process fits.
inline constexpr std::size_t kHandOffSectionSize = 64 * 1024;

// name'count'marker, single bytes, no line end and no terminating zero.
std::string HandOffText(std::string_view fileName, std::int32_t count, std::string_view marker);

// 0x04 "OBILD01" text 0x04.
std::string HandOffRecord(std::string_view handOffText);

// Only a series is pushed to the host window; a single picture is left in the text file.
inline bool HandOffNeedsMessage(std::int32_t count) { return count > 1; }

}  // namespace kamolt
