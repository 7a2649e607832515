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
constexpr std::int32_t kHideReadOnly = 4;
constexpr std::int32_t kFileMustExist = 4096;

const FileDialogSetup kMelodySaveDialog{u"メロディーを保存", kMelodyFilter, kHideReadOnly};
const FileDialogSetup kImageSaveDialog{u"イメージを保存", kImageFilter, kHideReadOnly};
const FileDialogSetup kMelodyLoadDialog{u"メロディー読込み", kMelodyFilter, kFileMustExist};
const FileDialogSetup kImageLoadDialog{u"イメージ読込み", kImageFilter, kFileMustExist};

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
// how many were loaded, ten at most, or 0 when one of them could not be.
template <typename Accepted>
std::int16_t loadDropped(Files& files, const std::vector<Text>& paths, TextView extension,
                         Loader load, std::array<Text, kPoolSlots>& pool, Accepted accepted) {
  std::int16_t count = 0;
  for (const Text& path : paths) {
    if (files.isDirectory(path) || !pathMentions(path, extension)) continue;
    if (!load(files, path, pool[count])) return 0;
    accepted(path);
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

void Form1::showPicture(const Text& path) {
  Image1.picturePath = path;
  ++Image1.loads;
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
  const bool written = SaveMelodyFile(files_, AppDir + kWorkingMelodyFile, melody);
  // Cancel or a failed copy ends silently; the working file stays written.
  // The copy is of the file just written under that very name: an unwritten
  // one would hand over an older mail's melody.
  const auto chosen = desktop_.saveFileDialog(kMelodySaveDialog);
  if (chosen && written) files_.copy(AppDir + kWorkingMelodyFile, *chosen);
}

void Form1::CMSAVEIMG_Click() {
  if (!browseIndexInRange()) return;
  const Text& image = MailStore.MailImage[BrowseIndex];
  if (image.empty()) return;
  const bool written = SaveImageFile(files_, AppDir + kWorkingImageFile, image);
  const auto chosen = desktop_.saveFileDialog(kImageSaveDialog);
  if (chosen && written) files_.copy(AppDir + kWorkingImageFile, *chosen);
}

void Form1::CMLOADMMD_Click() {
  const auto chosen = desktop_.openFileDialog(kMelodyLoadDialog);
  if (chosen && LoadMelodyFile(files_, *chosen, MelodyPool[0])) {
    // Entry 0 is offered whatever the count, so the count stays.
    Text4.text = kMelodyIndicator;
    return;
  }
  clearMelodyOffer();
}

void Form1::CMLOADIMG_Click() {
  const auto chosen = desktop_.openFileDialog(kImageLoadDialog);
  if (chosen && LoadImageFile(files_, *chosen, ImagePool[0])) {
    showPicture(*chosen);
    return;
  }
  clearImageOffer();
}

void Form1::Text4_OLEDragDrop(const std::vector<Text>& paths) {
  MelodyCount = loadDropped(files_, paths, u".mmd", LoadMelodyFile, MelodyPool,
                            [this](const Text&) { Text4.text = kMelodyIndicator; });
  if (MelodyCount == 0) clearMelodyOffer();
}

void Form1::Image1_OLEDragDrop(const std::vector<Text>& paths) {
  ImageCount = loadDropped(files_, paths, u".bmp", LoadImageFile, ImagePool,
                           [this](const Text& path) { showPicture(path); });
  if (ImageCount == 0) clearImageOffer();
}

}  // namespace ondrix
