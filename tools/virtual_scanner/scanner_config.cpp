#include "tools/virtual_scanner/scanner_config.h"

#include <algorithm>

#include "base/ini_document.h"
#include "base/int_text.h"

namespace kamolt::scanner {
namespace {

struct NameRow {
  const char* name;
  TW_UINT16 code;
  bool isData;
};

constexpr NameRow kNames[] = {
    {"CAP_XFERCOUNT", CAP_XFERCOUNT, false},
    {"CAP_FEEDERENABLED", CAP_FEEDERENABLED, false},
    {"CAP_SUPPORTEDCAPS", CAP_SUPPORTEDCAPS, false},
    {"CAP_INDICATORS", CAP_INDICATORS, false},
    {"CAP_UICONTROLLABLE", CAP_UICONTROLLABLE, false},
    {"CAP_DUPLEX", CAP_DUPLEX, false},
    {"CAP_DUPLEXENABLED", CAP_DUPLEXENABLED, false},
    {"ICAP_COMPRESSION", ICAP_COMPRESSION, false},
    {"ICAP_PIXELTYPE", ICAP_PIXELTYPE, false},
    {"ICAP_UNITS", ICAP_UNITS, false},
    {"ICAP_XFERMECH", ICAP_XFERMECH, false},
    {"ICAP_PHYSICALWIDTH", ICAP_PHYSICALWIDTH, false},
    {"ICAP_PHYSICALHEIGHT", ICAP_PHYSICALHEIGHT, false},
    {"ICAP_XRESOLUTION", ICAP_XRESOLUTION, false},
    {"ICAP_YRESOLUTION", ICAP_YRESOLUTION, false},
    {"ICAP_LIGHTPATH", ICAP_LIGHTPATH, false},
    {"ICAP_PIXELFLAVOR", ICAP_PIXELFLAVOR, false},
    {"ICAP_BITDEPTH", ICAP_BITDEPTH, false},
    {"DAT_IMAGELAYOUT", DAT_IMAGELAYOUT, true},
    {"DAT_IMAGEINFO", DAT_IMAGEINFO, true},
    {"DAT_PALETTE8", DAT_PALETTE8, true},
    {"DAT_SETUPMEMXFER", DAT_SETUPMEMXFER, true},
    {"DAT_PENDINGXFERS", DAT_PENDINGXFERS, true},
    {"DAT_IMAGEMEMXFER", DAT_IMAGEMEMXFER, true},
    {"DAT_IMAGENATIVEXFER", DAT_IMAGENATIVEXFER, true},
};

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<NamedCode> LookupName(std::string_view name) {
  for (const NameRow& row : kNames) {
    if (EqualsIgnoringAsciiCase(name, row.name)) return NamedCode{row.code, row.isData};
  }
  return std::nullopt;
}

ScannerConfig ParseScannerConfig(std::string_view text) {
  const IniDocument ini(text);
  ScannerConfig config;
  const auto number = [&](const char* key) -> std::optional<std::int32_t> {
    const auto value = ini.Get("Scanner", key);
    return value ? ParseInteger(*value) : std::nullopt;
  };
  const auto count = [&](const char* key, int fallback) {
    const auto value = number(key);
    return value ? std::max(0, *value) : fallback;
  };
  const auto flag = [&](const char* key) { return number(key).value_or(0) != 0; };

  config.pages = count("Pages", config.pages);
  if (const auto preferred = number("PreferredBuffer"); preferred && *preferred >= 0) {
    config.preferredBuffer = static_cast<TW_UINT32>(*preferred);
  }
  config.stripRows = count("StripRows", 0);
  config.padRows = flag("PadRows");
  config.cancelPage = count("CancelPage", 0);
  config.failPage = count("FailPage", 0);
  config.imageWidth = number("ImageWidth");
  config.imageLength = number("ImageLength");
  config.closeRequest = flag("CloseRequest");
  config.strictMechanism = number("StrictMechanism").value_or(1) != 0;
  config.unknownLength = flag("UnknownLength");
  config.minBuffer = static_cast<TW_UINT32>(count("MinBuffer", 0));
  config.checkStatusOnEnable = flag("CheckStatusOnEnable");
  config.emptyStrips = count("EmptyStrips", 0);
  config.failEndTransfer = count("FailEndTransfer", 0);
  config.pixelFlavor = flag("PixelFlavor") ? TWPF_VANILLA : TWPF_CHOCOLATE;
  if (const auto type = ini.Get("Scanner", "PixelType")) {
    static constexpr struct {
      const char* name;
      TW_UINT16 type;
    } kTypes[] = {{"BW", TWPT_BW}, {"GRAY", TWPT_GRAY}, {"RGB", TWPT_RGB}, {"PALETTE", TWPT_PALETTE}};
    for (const auto& known : kTypes) {
      if (EqualsIgnoringAsciiCase(Trim(*type), known.name)) config.onlyPixelType = known.type;
    }
  }

  const std::string names = ini.Get("Scanner", "Unsupported").value_or("");
  std::string_view rest = names;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view name = Trim(rest.substr(0, comma));
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    if (const auto found = LookupName(name)) {
      (found->isData ? config.unsupportedData : config.unsupportedCaps).push_back(found->code);
    }
  }
  return config;
}

}  // namespace kamolt::scanner
