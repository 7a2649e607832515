// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu and files dropped on the window: saving the shown mail's
// melody and image, and putting melodies and images on offer.
#include <algorithm>

#include "state/form1.h"
#include "store/codecs.h"

namespace ondrix {

namespace {

using PC = PendingCmdCode;

const Text kMelodyIndicator = u"♪";  // shown in Text4 while a melody is offered

const Text kMelodyFilter = u"TAVIXメロディーファイル(*.mmd)|*.mmd";
const Text kImageFilter = u"ビットマップファイル(*.bmp)|*.bmp";

const FileDialogSetup MelodySaveDialog{u"メロディーを保存", kMelodyFilter, kDialogHideReadOnly};
const FileDialogSetup ImageSaveDialog{u"イメージを保存", kImageFilter, kDialogHideReadOnly};
const FileDialogSetup MelodyLoadDialog{u"メロディー読込み", kMelodyFilter, kDialogFileMustExist};
const FileDialogSetup ImageLoadDialog{u"イメージ読込み", kImageFilter, kDialogFileMustExist};

constexpr std::int16_t kMaxDropped = 10;

char16_t lowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

// `extension` is given in lower case.
bool pathMentions(const Text& path, TextView extension) {
  return std::search(path.begin(), path.end(), extension.begin(), extension.end(),
                     [](char16_t a, char16_t b) { return lowerAscii(a) == b; }) != path.end();
}

using Loader = bool (*)(Files&, const Text&, Text&);

// Loads the dropped files of one kind into the pool from entry 0 on, calling
// `accepted` after each; folders and other files are passed over. Returns
// how many were loaded, ten at most, or 0 when one of them could not be
// loaded or `accepted` refused it.
template <typename Accepted>
std::int16_t loadDropped(Files& files, const std::vector<Text>& paths, TextView extension,
                         Loader load, std::array<Text, kPoolSlots>& pool, Accepted accepted) {
  std::int16_t count = 0;
  for (const Text& path : paths) {
    if (files.isDirectory(path) || !pathMentions(path, extension)) continue;
    if (!load(files, path, pool[count]) || !accepted(path)) return 0;
    if (++count == kMaxDropped) break;
  }
  return count;
}

}  // namespace

void Form1::clearMelodyOffer() {
  MelodyPool[0].clear();
  Text4.text.clear();
  MelodyCount = 0;
}

void Form1::clearImageOffer() {
  ImagePool[0].clear();
  showPicture({});
  ImageCount = 0;
}

bool Form1::showPicture(const Text& path) {
  // The codec accepts bitmaps the picture box cannot show; the box is the
  // one to say whether it took the picture.
  const bool shown = desktop_.showPicture(path);
  Image1.picturePath = shown ? path : Text();
  ++Image1.loads;
  return shown;
}

// The working file is copied as it is when the item is chosen: the dialog's
// loop goes on serving calls, and a mail stored meanwhile rewrites it.
void Form1::saveWorkingFileAs(bool written, const Text& working, const FileDialogSetup& dialog) {
  // Read before the dialog opens: while it is open a call may store a mail
  // and rewrite the working file. A working file that was not just written
  // would hand over an older mail's content, so then nothing is.
  const auto content = written ? files_.readBytes(working) : std::nullopt;
  // Cancel or a failed copy ends silently; the working file stays written.
  if (const auto chosen = desktop_.saveFileDialog(dialog); chosen && content) {
    files_.writeBytes(*chosen, *content);
  }
}

void Form1::CMFILE_Click() {
  const bool shown = PendingCmd == PC::MailBrowse && browseIndexInRange();
  CMSAVEMMD.enabled = shown && !MailStore.MailMelody[BrowseIndex].empty();
  CMSAVEIMG.enabled = shown && !MailStore.MailImage[BrowseIndex].empty();
}

// The save items act only on what they were enabled for: a call may have
// stored a mail, and moved the records, since the menu was opened.
void Form1::CMSAVEMMD_Click() {
  if (!browseIndexInRange()) return;
  const Text& melody = MailStore.MailMelody[BrowseIndex];
  if (melody.empty()) return;
  saveWorkingFileAs(SaveMelodyFile(files_, AppDir + kWorkingMelodyFile, melody),
                    AppDir + kWorkingMelodyFile, MelodySaveDialog);
}

void Form1::CMSAVEIMG_Click() {
  if (!browseIndexInRange()) return;
  const Text& image = MailStore.MailImage[BrowseIndex];
  if (image.empty()) return;
  saveWorkingFileAs(SaveImageFile(files_, AppDir + kWorkingImageFile, image),
                    AppDir + kWorkingImageFile, ImageSaveDialog);
}

void Form1::CMLOADMMD_Click() {
  const auto chosen = desktop_.openFileDialog(MelodyLoadDialog);
  if (chosen && LoadMelodyFile(files_, *chosen, MelodyPool[0])) {
    // Entry 0 is offered whatever the count, so the count stays.
    Text4.text = kMelodyIndicator;
    return;
  }
  clearMelodyOffer();
}

void Form1::CMLOADIMG_Click() {
  const auto chosen = desktop_.openFileDialog(ImageLoadDialog);
  if (chosen && LoadImageFile(files_, *chosen, ImagePool[0]) && showPicture(*chosen)) return;
  clearImageOffer();
}

void Form1::Text4_OLEDragDrop(const std::vector<Text>& paths) {
  const auto showNote = [this](const Text&) {
    Text4.text = kMelodyIndicator;
    return true;
  };
  MelodyCount = loadDropped(files_, paths, u".mmd", LoadMelodyFile, MelodyPool, showNote);
  if (MelodyCount == 0) clearMelodyOffer();
}

void Form1::Image1_OLEDragDrop(const std::vector<Text>& paths) {
  ImageCount = loadDropped(files_, paths, u".bmp", LoadImageFile, ImagePool,
                           [this](const Text& path) { return showPicture(path); });
  if (ImageCount == 0) clearImageOffer();
}

}  // namespace ondrix
