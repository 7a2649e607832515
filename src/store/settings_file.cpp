#include "store/settings_file.h"

#include "store/quoted_field.h"

namespace ondrix {

void LoadSettings(Files& files, const Text& path, FileIOModule1& module, Text& comNo) {
  // Defaults first, so whatever the file fails to supply keeps them.
  module.StartCommand = u"at#sy1=40";
  module.SetupCommand = u"atu3v1q0\\v2#ps2=1";
  module.ModemModel = u"QV-M7";
  module.UserFuncCaption.clear();
  module.UserFuncCommand.clear();
  module.UserFuncWait = u"0";
  module.MelodyPlayer.clear();
  std::int32_t port = 0;

  // Each value is taken as soon as it is read; the first missing field ends
  // the reading and the rest keep their defaults.
  [&] {
    const auto content = files.readText(path);
    if (!content) return;
    QuotedFieldReader in(*content);
    const auto take = [&in](Text& target) { return in.readTextInto(target); };
    if (!take(module.StartCommand) || !take(module.SetupCommand)) return;
    const auto number = in.readNumber();
    if (number.status == QuotedFieldReader::NumberStatus::EndOfFile) return;
    // A port field that is no number names no port; the fields after it are
    // still good.
    if (number.status == QuotedFieldReader::NumberStatus::Ok) port = number.value;
    if (!take(module.ModemModel) || !take(module.UserFuncCaption) ||
        !take(module.UserFuncCommand) || !take(module.UserFuncWait)) {
      return;
    }
    take(module.MelodyPlayer);
  }();

  if (port >= 1 && port <= 9) comNo = u" " + decimal(port);
}

void SaveSettings(Files& files, const Text& path, const FileIOModule1& module, const Text& comNo) {
  QuotedFieldWriter out;
  out.text(module.StartCommand);
  out.endLine();
  out.text(module.SetupCommand);
  out.endLine();
  out.number(leadingNumber(comNo));
  out.endLine();
  out.text(module.ModemModel);
  out.endLine();
  out.text(module.UserFuncCaption);
  out.text(module.UserFuncCommand);
  out.text(module.UserFuncWait);
  out.endLine();
  out.text(module.MelodyPlayer);
  out.endLine();
  // One write of the whole file: a failure leaves the previous file intact.
  files.writeText(path, out.content());
}

}  // namespace ondrix
