// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing the settings file field by field.
#include "store/settings_file.h"

#include "store/quoted_field.h"

namespace ondrix {

LoadedSettings LoadSettings(Files& files, const Text& path) {
  LoadedSettings loaded;
  Settings& settings = loaded.settings;  // starts with the defaults
  std::int32_t port = 0;

  // Each value is taken as soon as it is read; the first missing field ends
  // the reading and the rest keep their defaults.
  [&] {
    const auto content = files.readText(path);
    if (!content) return;
    QuotedFieldReader in(*content);
    const auto take = [&in](Text& target) { return in.readTextInto(target); };
    if (!take(settings.StartCommand) || !take(settings.SetupCommand)) return;
    const auto number = in.readNumber();
    if (number.status == QuotedFieldReader::NumberStatus::EndOfFile) return;
    // A port field that is no number names no port; the fields after it are
    // still good.
    if (number.status == QuotedFieldReader::NumberStatus::Ok) port = number.value;
    if (!take(settings.ModemModel) || !take(settings.UserFuncCaption) ||
        !take(settings.UserFuncCommand) || !take(settings.UserFuncWait)) {
      return;
    }
    take(settings.MelodyPlayer);
  }();

  if (port >= 1 && port <= 9) loaded.portBoxText = u" " + decimal(port);
  return loaded;
}

void SaveSettings(Files& files, const Text& path, const Settings& settings, const Text& comNo) {
  QuotedFieldWriter out;
  out.text(settings.StartCommand);
  out.endLine();
  out.text(settings.SetupCommand);
  out.endLine();
  out.number(leadingNumber(comNo));
  out.endLine();
  out.text(settings.ModemModel);
  out.endLine();
  out.text(settings.UserFuncCaption);
  out.text(settings.UserFuncCommand);
  out.text(settings.UserFuncWait);
  out.endLine();
  out.text(settings.MelodyPlayer);
  out.endLine();
  // One write of the whole file: a failure leaves the previous file intact.
  files.writeText(path, out.content());
}

}  // namespace ondrix
