#include <algorithm>
#include <cstdio>
#include <cstring>

#include "scan/twain_capabilities.h"

namespace kamolt {
namespace {

// The box's text had a buffer of this many characters; a longer dump is cut there.
constexpr std::size_t kDumpTextLimit = 1023;
constexpr std::size_t kLargestItem = 256;

std::string NameOf(std::span<const TwainName> table, TW_UINT16 code) {
  std::string name = std::to_string(code);
  LookupTwainName(table, code, name);
  return name;
}

// Formats an item of which only `available` bytes lie inside the container; the rest
// reads as zero, so a short or lying container is never read past its end.
std::string BoundedItem(TW_UINT16 itemType, const TW_UINT8* at, std::size_t available) {
  TW_UINT8 item[kLargestItem + 1] = {};
  std::memcpy(item, at, std::min({available, ItemTypeSize(itemType), kLargestItem}));
  std::string text;
  FormatItemValue(text, itemType, item);
  return text;
}

std::string ItemList(TW_UINT16 itemType, TW_UINT32 count, const TW_UINT8* list, std::size_t available) {
  const std::size_t size = ItemTypeSize(itemType);
  const std::size_t fits = available / size;
  std::string text;
  for (std::size_t i = 0; i < count && i < fits; ++i) {
    if (i > 0) text += ", ";
    text += BoundedItem(itemType, list + i * size, size);
  }
  return text;
}

std::string Line(const char* label, long value) {
  char line[64];
  std::snprintf(line, sizeof line, "\n     %s %ld", label, value);
  return line;
}

template <typename Record>
bool Holds(std::size_t size) {
  return size >= sizeof(Record);
}

std::string ContainerText(TW_UINT16 conType, const TW_UINT8* data, std::size_t size) {
  std::string text;
  switch (conType) {
    case TWON_ONEVALUE: {
      if (!Holds<TW_ONEVALUE>(size)) break;
      TW_ONEVALUE one;
      std::memcpy(&one, data, sizeof one);
      text += "\n     ItemType: " + NameOf(kItemTypeNames, one.ItemType);
      text += "\n     Item: " + BoundedItem(one.ItemType, data + offsetof(TW_ONEVALUE, Item),
                                            size - offsetof(TW_ONEVALUE, Item));
      break;
    }
    case TWON_ENUMERATION: {
      constexpr std::size_t kList = offsetof(TW_ENUMERATION, ItemList);
      if (size < kList) break;
      TW_ENUMERATION head;
      std::memcpy(&head, data, kList);
      text += "\n     ItemType: " + NameOf(kItemTypeNames, head.ItemType);
      text += Line("NumItems:", head.NumItems);
      text += Line("CurrentIndex:", head.CurrentIndex);
      text += Line("DefaultIndex:", head.DefaultIndex);
      text += "\n     ItemList: " + ItemList(head.ItemType, head.NumItems, data + kList, size - kList);
      break;
    }
    case TWON_ARRAY: {
      constexpr std::size_t kList = offsetof(TW_ARRAY, ItemList);
      if (size < kList) break;
      TW_ARRAY head;
      std::memcpy(&head, data, kList);
      text += "\n     ItemType: " + NameOf(kItemTypeNames, head.ItemType);
      text += Line("NumItems:", head.NumItems);
      text += "\n     ItemList: " + ItemList(head.ItemType, head.NumItems, data + kList, size - kList);
      break;
    }
    case TWON_RANGE: {
      if (!Holds<TW_RANGE>(size)) break;
      TW_RANGE range;
      std::memcpy(&range, data, sizeof range);
      // Range values are 32-bit fields, whatever wider type a source names.
      const TW_UINT16 type = ItemTypeSize(range.ItemType) <= 4 ? range.ItemType : TWTY_UINT32;
      const auto value = [&](const char* label, TW_UINT32 v) {
        text += label + BoundedItem(type, reinterpret_cast<const TW_UINT8*>(&v), sizeof v);
      };
      text += "\n     ItemType: " + NameOf(kItemTypeNames, range.ItemType);
      value("\n     MinValue: ", range.MinValue);
      value("\n     MaxValue: ", range.MaxValue);
      value("\n     StepSize: ", range.StepSize);
      value("\n     DefaultValue: ", range.DefaultValue);
      value("\n     CurrentValue: ", range.CurrentValue);
      break;
    }
    default:
      break;
  }
  return text;
}

}  // namespace

const TwainName kItemTypeNames[13] = {
    {"TWTY_INT8", 0},   {"TWTY_INT16", 1},  {"TWTY_INT32", 2},  {"TWTY_UINT8", 3},   {"TWTY_UINT16", 4},
    {"TWTY_UINT32", 5}, {"TWTY_BOOL", 6},   {"TWTY_FIX32", 7},  {"TWTY_FRAME", 8},   {"TWTY_STR32", 9},
    {"TWTY_STR64", 10}, {"TWTY_STR128", 11}, {"TWTY_STR255", 12},
};

const TwainName kContainerTypeNames[5] = {
    {"TWCC_BADPROTOCOL", 9}, {"TWON_ARRAY", 3}, {"TWON_ENUMERATION", 4}, {"TWON_ONEVALUE", 5}, {"TWON_RANGE", 6},
};

const TwainName kCapabilityNames[1] = {{"CAP_AUTHOR", CAP_AUTHOR}};

std::size_t ItemTypeSize(TW_UINT16 itemType) {
  switch (itemType) {
    case TWTY_INT8:
    case TWTY_UINT8: return 1;
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_FIX32: return 4;
    case TWTY_FRAME: return 16;
    case TWTY_STR32: return 34;
    case TWTY_STR64: return 66;
    case TWTY_STR128: return 130;
    case TWTY_STR255: return 256;
    default: return 2;
  }
}

void FormatItemValue(std::string& out, TW_UINT16 itemType, const void* item) {
  char text[64];
  const auto read = [item](auto value) {
    std::memcpy(&value, item, sizeof value);
    return value;
  };
  switch (itemType) {
    case TWTY_INT8: std::snprintf(text, sizeof text, "%d", read(TW_INT8{})); break;
    case TWTY_INT16: std::snprintf(text, sizeof text, "%d", read(TW_INT16{})); break;
    case TWTY_INT32: std::snprintf(text, sizeof text, "%ld", static_cast<long>(read(TW_INT32{}))); break;
    case TWTY_UINT8: std::snprintf(text, sizeof text, "%u", read(TW_UINT8{})); break;
    case TWTY_UINT16:
    case TWTY_BOOL: std::snprintf(text, sizeof text, "%u", read(TW_UINT16{})); break;
    case TWTY_UINT32: std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(read(TW_UINT32{}))); break;
    case TWTY_FIX32: std::snprintf(text, sizeof text, "%f", FromFix32(read(TW_FIX32{}))); break;
    default: {
      const char* chars = static_cast<const char*>(item);
      out.assign(chars, strnlen(chars, ItemTypeSize(itemType)));
      return;
    }
  }
  out = text;
}

std::string DumpCapability(TwainSession& session, TwainWindow owner, TW_UINT16 cap) {
  TwainPlatform& platform = session.Platform();
  TW_CAPABILITY capability{cap, TWON_DONTCARE16, nullptr};
  const TW_UINT16 returnCode = session.CallSource(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &capability);

  char line[255];
  std::snprintf(line, sizeof line, "%s %d\n", "RETURN CODE:", returnCode);
  std::string text = line;
  text += "\nCap: " + NameOf(kCapabilityNames, cap);
  if (returnCode == TWRC_SUCCESS) {
    text += "\nConType: " + NameOf(kContainerTypeNames, capability.ConType);
    text += "\nhContainer.";
    if (capability.hContainer != nullptr) {
      const std::size_t size = platform.MemorySize(capability.hContainer);
      if (const void* data = platform.LockMemory(capability.hContainer)) {
        text += ContainerText(capability.ConType, static_cast<const TW_UINT8*>(data), size);
        platform.UnlockMemory(capability.hContainer);
      }
      platform.FreeMemory(capability.hContainer);
    }
  } else if (returnCode == TWRC_FAILURE) {
    std::snprintf(line, sizeof line, "\n%s %d", "Condition Code:",
                  session.Diagnostics().LastStatus().ConditionCode);
    text += line;
  }
  if (text.size() > kDumpTextLimit) text.resize(kDumpTextLimit);
  session.Diagnostics().ShowOperationStatus(owner, 0, returnCode, text, "TW_CAPABILITY");
  return text;
}

}  // namespace kamolt
