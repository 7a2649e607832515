// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu and files dropped on the window: saving the shown mail's
// melody and image, and putting melodies and images on offer.
#include <algorithm>
#include <string>
#include <tuple>

#include "state/form1.h"
#include "store/codecs.h"
#include "store/offer_file.h"

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

// The offer as it now stands goes to the offer file, so a restart offers
// the same.
void keepOffer(Form1& form, Files& files) {
  if (!files.writeBytes(form.AppDir + kOfferFile, offerFileBytes(form))) {
    form.appendStatusLine(u"提供中のメロディーとイメージを記録できません（offer.dat）");
  }
}

bool endsWith(const Text& path, TextView extension) {
  return path.size() >= extension.size() &&
         pathMentions(path.substr(path.size() - extension.size()), extension);
}

std::string shown(const Text& path) { return toUtf8(path); }

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
  } else {
    clearMelodyOffer();
  }
  keepOffer(*this, files_);
}

void Form1::CMLOADIMG_Click() {
  const auto chosen = desktop_.openFileDialog(ImageLoadDialog);
  if (!chosen || !LoadImageFile(files_, *chosen, ImagePool[0]) || !showPicture(*chosen)) {
    clearImageOffer();
  }
  keepOffer(*this, files_);
}

void Form1::Text4_OLEDragDrop(const std::vector<Text>& paths) {
  const auto showNote = [this](const Text&) {
    Text4.text = kMelodyIndicator;
    return true;
  };
  MelodyCount = loadDropped(files_, paths, u".mmd", LoadMelodyFile, MelodyPool, showNote);
  if (MelodyCount == 0) clearMelodyOffer();
  keepOffer(*this, files_);
}

void Form1::Image1_OLEDragDrop(const std::vector<Text>& paths) {
  ImageCount = loadDropped(files_, paths, u".bmp", LoadImageFile, ImagePool,
                           [this](const Text& path) { return showPicture(path); });
  if (ImageCount == 0) clearImageOffer();
  keepOffer(*this, files_);
}

// The files of each kind replace that kind's offer as a drop of them would,
// but only when every one of them would be taken: a request with a file
// that is missing, a folder, of neither kind or not valid, or more than ten
// of a kind, leaves that kind's offer as it was. No file withdraws both.
bool Form1::offerFiles(const std::vector<Text>& paths, std::string& reply) {
  reply.clear();
  if (paths.empty()) {
    clearMelodyOffer();
    clearImageOffer();
    keepOffer(*this, files_);
    reply = offerListing(*this);
    return true;
  }
  std::vector<Text> melodies, images;
  std::string refusals[2];  // melodies, images
  std::string unknown;
  for (const Text& path : paths) {
    const bool melody = endsWith(path, u".mmd");
    const bool image = !melody && endsWith(path, u".bmp");
    std::string& why = melody ? refusals[0] : image ? refusals[1] : unknown;
    Text element;
    if (!files_.exists(path)) {
      why += shown(path) + ": no such file\n";
    } else if (files_.isDirectory(path)) {
      why += shown(path) + ": a folder, not a file\n";
    } else if (!melody && !image) {
      why += shown(path) + ": neither a melody (.mmd) nor a bitmap (.bmp)\n";
    } else if (melody && !LoadMelodyFile(files_, path, element)) {
      why += shown(path) + ": not a melody file (no <MEL= at the start of its first line)\n";
    } else if (image && !LoadImageFile(files_, path, element)) {
      why += shown(path) +
             ": not a bitmap a terminal takes (two colours, its size within the terminal's)\n";
    }
    if (melody || image) (melody ? melodies : images).push_back(path);
  }
  for (auto [count, why, kind] : {std::tuple{melodies.size(), &refusals[0], "melodies"},
                                  std::tuple{images.size(), &refusals[1], "images"}}) {
    if (count > static_cast<std::size_t>(kMaxDropped)) {
      *why += std::to_string(count) + " " + kind + ": at most " + std::to_string(kMaxDropped) +
              " of a kind are offered\n";
    }
  }
  const bool refused = !unknown.empty() || !refusals[0].empty() || !refusals[1].empty();
  if (unknown.empty()) {
    // Through the drop's own handlers, so the window shows the offer as
    // after a drop.
    if (!melodies.empty() && refusals[0].empty()) Text4_OLEDragDrop(melodies);
    if (!images.empty() && refusals[1].empty()) {
      Image1_OLEDragDrop(images);
      if (ImageCount != static_cast<std::int16_t>(images.size())) {
        refusals[1] += "the picture box could not show the bitmaps: no image on offer\n";
      }
    }
  }
  reply = unknown + refusals[0] + refusals[1];
  if (refused) reply += "the offer of a refused kind stays as it was\n";
  reply += offerListing(*this);
  return unknown.empty() && refusals[0].empty() && refusals[1].empty();
}

// The offer of the last run, read from the offer file and shown as one
// just loaded; a file that cannot be read leaves nothing on offer.
void Form1::restoreOffer() {
  const Text path = AppDir + kOfferFile;
  const auto bytes = files_.readBytes(path);
  if (!bytes && !files_.exists(path)) return;  // nothing was ever offered
  if (!bytes || !readOfferFile(*bytes, *this)) {
    appendStatusLine(
        u"前回の提供（offer.dat）を読めません。提供中のメロディーとイメージはありません");
    return;
  }
  Text4.text = MelodyPool[0].empty() ? Text() : kMelodyIndicator;
  const std::int16_t images = imagesOffered(*this);
  if (images == 0) return;
  // The last entry was the last shown by the drop that offered them.
  const Text& element = ImagePool[images - 1];
  const Text picture = AppDir + kOfferPictureFile;
  const Text bare = element.substr(7, element.size() - 15);  // inside <IMAGE>...</IMAGE>
  if (files_.writeWorkingBytes(picture, imageFileBytes(bare))) showPicture(picture);
}

}  // namespace ondrix
