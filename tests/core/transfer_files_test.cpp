// SPDX-License-Identifier: GPL-3.0-or-later
// The File and Help menus: save and load dialogs, drops, help and about.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "form1_harness.h"
#include "state/status_texts.h"
#include "store/base64.h"
#include "store/codecs.h"
#include "store/login_entry.h"
#include "store/offer_file.h"

namespace ondrix {
namespace {

using PC = PendingCmdCode;

const Text kNote = u"♪";
const Text kImage16 = u"RE9UABAAEA==";         // a 16 x 16 terminal bitmap without pixel data
const Text kImage8 = u"RE9UAAgACDxCpYGlmUI8";  // 8 x 8 with pixels

struct Transfer {
  Harness<> h;
  Form1& f = h.form;
  FakeFiles& files = h.fakes.files;
  FakeDesktop& desktop = h.fakes.desktop;

  Transfer() { f.AppDir = u"/app"; }

  void bitmap(const Text& path, int w, int h) {
    Bytes b{'D', 'O', 'T', 0, static_cast<std::uint8_t>(w), 0, static_cast<std::uint8_t>(h)};
    b.resize(7 + (w * h + 7) / 8, 0x5A);
    SaveImageFile(files, path, encodeBase64(b));
  }
  void showMail(const Text& melody, const Text& image, std::int16_t slot = 3) {
    f.MailStore.MailText[slot] = u"text";
    f.MailStore.MailMelody[slot] = melody;
    f.MailStore.MailImage[slot] = image;
    f.BrowseIndex = slot;
    f.PendingCmd = PC::MailBrowse;
  }
  // The working file's bytes for a mail's melody or image.
  static std::optional<Bytes> working(bool melody, const Text& content) {
    FakeFiles scratch;
    if (melody) {
      SaveMelodyFile(scratch, u"/w", content);
    } else {
      SaveImageFile(scratch, u"/w", content);
    }
    return scratch.readBytes(u"/w");
  }
  // What the loaders make of `paths`, in order, as the expected pool.
  std::vector<Text> loaded(const std::vector<Text>& paths, bool melody) {
    std::vector<Text> pool;
    for (const Text& p : paths) {
      Text entry;
      EXPECT_TRUE(melody ? LoadMelodyFile(files, p, entry) : LoadImageFile(files, p, entry));
      pool.push_back(entry);
    }
    return pool;
  }
};

TEST(TransferFiles, DialogsAndSaving) {
  struct Case {
    void (Form1::*command)();
    Text title, filter;
    std::int32_t flags;
    bool save;
    std::optional<Text> chosen;
    Text working;              // saves: the file copied to the chosen path
    bool mailArrives = false;  // while the dialog is open
    // The program folder refuses writes when the second mail is saved.
    bool refusedSecond = false;
  };
  const Case cases[] = {
      {&Form1::CMSAVEMMD_Click, u"メロディーを保存", u"TAVIXメロディーファイル(*.mmd)|*.mmd", 4,
       true, u"/op/a.mmd", u"/app\\melody.mmd"},
      {&Form1::CMSAVEMMD_Click, u"メロディーを保存", u"TAVIXメロディーファイル(*.mmd)|*.mmd", 4,
       true, std::nullopt, u"/app\\melody.mmd"},
      {&Form1::CMSAVEIMG_Click, u"イメージを保存", u"ビットマップファイル(*.bmp)|*.bmp", 4, true,
       u"/op/a.bmp", u"/app\\Image.bmp"},
      {&Form1::CMSAVEIMG_Click, u"イメージを保存", u"ビットマップファイル(*.bmp)|*.bmp", 4, true,
       std::nullopt, u"/app\\Image.bmp"},
      {&Form1::CMSAVEMMD_Click, u"メロディーを保存", u"TAVIXメロディーファイル(*.mmd)|*.mmd", 4,
       true, u"/op/a.mmd", u"/app\\melody.mmd", false, true},
      {&Form1::CMSAVEIMG_Click, u"イメージを保存", u"ビットマップファイル(*.bmp)|*.bmp", 4, true,
       u"/op/a.bmp", u"/app\\Image.bmp", false, true},
      {&Form1::CMSAVEMMD_Click, u"メロディーを保存", u"TAVIXメロディーファイル(*.mmd)|*.mmd", 4,
       true, u"/op/b.mmd", u"/app\\melody.mmd", true},
      {&Form1::CMSAVEIMG_Click, u"イメージを保存", u"ビットマップファイル(*.bmp)|*.bmp", 4, true,
       u"/op/b.bmp", u"/app\\Image.bmp", true},
      {&Form1::CMLOADMMD_Click, u"メロディー読込み", u"TAVIXメロディーファイル(*.mmd)|*.mmd", 4096,
       false, std::nullopt, u""},
      {&Form1::CMLOADIMG_Click, u"イメージ読込み", u"ビットマップファイル(*.bmp)|*.bmp", 4096,
       false, std::nullopt, u""},
  };
  // A save runs for two mails in turn, in a folder that also holds files
  // whose names differ from the working files' only in case (the operator's
  // earlier saves): each copy holds its own mail's melody or picture, and a
  // working file that could not be written is not copied (it is the first
  // mail's).
  const std::pair<Text, Text> mails[] = {{u"<MEL=T120>cde", kImage16}, {u"<MEL=T90>efg", kImage8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(toUtf8(c.title) + (c.chosen ? " confirmed" : " cancelled") +
                 (c.mailArrives ? ", a mail arriving" : ""));
    Transfer t;
    t.files.writeBytes(u"/app\\image.bmp", Bytes{'o', 'l', 'd'});
    t.files.writeText(u"/app\\Melody.mmd", u"<MEL=old>\r\n");
    const bool melody = c.command == &Form1::CMSAVEMMD_Click;
    for (std::size_t mail = 0; mail < (c.save ? 2u : 1u); ++mail) {
      SCOPED_TRACE("mail " + std::to_string(mail + 1));
      t.showMail(mails[mail].first, mails[mail].second, static_cast<std::int16_t>(3 + mail));
      t.desktop.dialogAnswers.push_back(c.chosen);
      const std::size_t writes = t.files.writeLog().size();
      const bool refused = c.refusedSecond && mail == 1;
      t.files.setReadOnly(u"/app", refused);
      if (c.mailArrives) {
        // The next mail rewrites the working files while the dialog is open.
        t.desktop.whileDialogOpen = [&] {
          t.f.StoreReceivedMail(u"next", u"<MEL=T90>gab", u"RE9UAAgACA==");
        };
      }
      (t.f.*c.command)();
      ASSERT_EQ(t.desktop.dialogs.size(), mail + 1);
      EXPECT_EQ(t.desktop.dialogs[mail].title, c.title);
      EXPECT_EQ(t.desktop.dialogs[mail].filter, c.filter);
      EXPECT_EQ(t.desktop.dialogs[mail].flags, c.flags);
      EXPECT_EQ(t.desktop.dialogIsSave, std::vector<bool>(mail + 1, c.save));
      if (!c.save) continue;
      const auto& shown = mails[refused ? 0 : mail];
      const auto expected = Transfer::working(melody, melody ? shown.first : shown.second);
      if (!c.mailArrives) {
        EXPECT_EQ(t.files.readBytes(c.working), expected);
        EXPECT_EQ(t.files.writeLog().size() - writes, refused ? 0u : c.chosen ? 2u : 1u);
      }
      if (c.chosen) {
        EXPECT_EQ(t.files.readBytes(*c.chosen), expected);
      }
    }
  }
}

TEST(TransferFiles, FileMenuEnablesTheSaveItemsForTheShownMail) {
  struct Case {
    PC pending;
    Text melody, image;
    bool saveMelody, saveImage;
  };
  const Case cases[] = {{PC::MailBrowse, u"<MEL=a>", u"", true, false},
                        {PC::MailBrowse, u"", kImage16, false, true},
                        {PC::MailBrowse, u"<MEL=a>", kImage16, true, true},
                        {PC::NoPending, u"<MEL=a>", kImage16, false, false},
                        {PC::MailDeleteMenu, u"<MEL=a>", kImage16, false, false}};
  for (const Case& c : cases) {
    Transfer t;
    t.showMail(c.melody, c.image);
    t.f.PendingCmd = c.pending;
    t.f.CMSAVEMMD.enabled = !c.saveMelody;
    t.f.CMSAVEIMG.enabled = !c.saveImage;
    t.f.CMFILE_Click();
    EXPECT_EQ(t.f.CMSAVEMMD.enabled, c.saveMelody);
    EXPECT_EQ(t.f.CMSAVEIMG.enabled, c.saveImage);
  }
}

// A menu load replaces entry 0 and keeps the count; a failure or a cancel
// withdraws the whole offer of its kind.
TEST(TransferFiles, LoadDialogs) {
  struct Case {
    const char* name;
    bool melody;
    std::optional<Text> chosen;
    bool loads;
  };
  const Case cases[] = {{"melody", true, u"/m/good.mmd", true},
                        {"lower-case mark", true, u"/m/bad.mmd", false},
                        {"missing melody", true, u"/m/none.mmd", false},
                        {"melody cancelled", true, std::nullopt, false},
                        {"16 x 16 image", false, u"/m/small.bmp", true},
                        {"120 x 50 image", false, u"/m/wide.bmp", false},
                        {"image the box cannot show", false, u"/m/blank.bmp", false},
                        {"image cancelled", false, std::nullopt, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Transfer t;
    t.files.writeText(u"/m/good.mmd", u"<MEL=T100>ab\r\nmore\r\n");
    t.files.writeText(u"/m/bad.mmd", u"<mel=T100>ab\r\n");
    t.bitmap(u"/m/small.bmp", 16, 16);
    t.bitmap(u"/m/wide.bmp", 120, 50);
    t.bitmap(u"/m/blank.bmp", 16, 16);
    t.desktop.unshowablePictures = {u"/m/blank.bmp"};
    auto& pool = c.melody ? t.f.MelodyPool : t.f.ImagePool;
    auto& count = c.melody ? t.f.MelodyCount : t.f.ImageCount;
    pool = {u"old0", u"old1"};
    count = 5;
    t.f.Text4.text = kNote;
    t.f.Image1 = {u"/m/old.bmp", 1};
    t.desktop.dialogAnswers.push_back(c.chosen);
    (t.f.*(c.melody ? &Form1::CMLOADMMD_Click : &Form1::CMLOADIMG_Click))();
    const Text entry = c.loads ? t.loaded({*c.chosen}, c.melody)[0] : Text();
    EXPECT_EQ(std::vector<Text>(pool.begin(), pool.begin() + 2),
              (std::vector<Text>{entry, u"old1"}));
    EXPECT_EQ(count, c.loads ? 5 : 0);
    if (c.melody) {
      EXPECT_EQ(t.f.Text4.text, c.loads ? kNote : u"");
    } else {
      EXPECT_EQ(t.f.Image1.picturePath, c.loads ? *c.chosen : u"");
      // The box was last given the picture, or emptied.
      ASSERT_FALSE(t.desktop.pictures.empty());
      EXPECT_EQ(t.desktop.pictures.back(), t.f.Image1.picturePath);
      EXPECT_EQ(t.f.Image1.loads, 1u + t.desktop.pictures.size());
    }
  }
}

std::vector<Text> numbered(const char16_t* ext, int n) {
  std::vector<Text> paths;
  for (int i = 1; i <= n; ++i) paths.push_back(u"/d/f" + decimal(i) + ext);
  return paths;
}

// Dropped files: "bad.mmd" is no melody, "wide.bmp" is 120 x 50, "blank.bmp"
// a bitmap the picture box cannot show, names with "dir" are folders, every
// other ".mmd"/".bmp" file is good.
TEST(TransferFiles, Drops) {
  struct Case {
    const char* name;
    bool melody;
    std::vector<Text> dropped, taken;
  };
  const auto twelveM = numbered(u".mmd", 12), twelveB = numbered(u".bmp", 12);
  const Case cases[] = {
      {"twelve melodies", true, twelveM, numbered(u".mmd", 10)},
      {"bad second melody", true, {u"/d/f1.mmd", u"/d/bad.mmd", u"/d/f3.mmd"}, {}},
      {"folder and upper case",
       true,
       {u"/d/dir.mmd", u"/d/A.MMD", u"/d/b.Mmd"},
       {u"/d/A.MMD", u"/d/b.Mmd"}},
      {"mark anywhere in the path", true, {u"/d/x.MMD/song", u"/d/f1.txt"}, {u"/d/x.MMD/song"}},
      {"no melody file", true, {u"/d/f1.bmp", u"/d/readme.txt"}, {}},
      {"twelve images", false, twelveB, numbered(u".bmp", 10)},
      {"images among others",
       false,
       {u"/d/A.BMP", u"/d/f1.mmd", u"/d/dir.bmp", u"/d/f2.bmp"},
       {u"/d/A.BMP", u"/d/f2.bmp"}},
      {"too wide image", false, {u"/d/f1.bmp", u"/d/wide.bmp"}, {}},
      {"image the box cannot show", false, {u"/d/f1.bmp", u"/d/blank.bmp", u"/d/f2.bmp"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Transfer t;
    int size = 8;
    for (const Text& p : c.dropped) {
      if (p.find(u"dir") != Text::npos) {
        t.files.addDirectory(p);
      } else if (p == u"/d/wide.bmp") {
        t.bitmap(p, 120, 50);
      } else if (c.melody) {
        t.files.writeText(p, p == u"/d/bad.mmd" ? u"hello" : u"<MEL=" + p + u">");
      } else {
        t.bitmap(p, ++size, 8);
      }
    }
    t.desktop.unshowablePictures = {u"/d/blank.bmp"};
    auto& pool = c.melody ? t.f.MelodyPool : t.f.ImagePool;
    auto& count = c.melody ? t.f.MelodyCount : t.f.ImageCount;
    pool = {u"old0", u"old1", u"old2"};
    count = 3;
    t.f.Text4.text = kNote;
    t.f.Image1.picturePath = u"/d/old.bmp";
    if (c.melody) {
      t.f.Text4_OLEDragDrop(c.dropped);
    } else {
      t.f.Image1_OLEDragDrop(c.dropped);
    }
    const auto want = t.loaded(c.taken, c.melody);
    EXPECT_EQ(count, static_cast<std::int16_t>(want.size()));
    EXPECT_EQ(std::vector<Text>(pool.begin(), pool.begin() + want.size()), want);
    EXPECT_EQ(pool[0].empty(), want.empty());
    if (c.melody) {
      EXPECT_EQ(t.f.Text4.text, want.empty() ? u"" : kNote);
    } else {
      EXPECT_EQ(t.f.Image1.picturePath, want.empty() ? u"" : c.taken.back());
      ASSERT_FALSE(t.desktop.pictures.empty());
      EXPECT_EQ(t.desktop.pictures.back(), t.f.Image1.picturePath);
    }
  }
}

Bytes utf8(std::string_view s) { return Bytes(s.begin(), s.end()); }

// Files offered from the command line replace their kind's offer as a drop
// would, only when every file of the kind is taken; the offer file always
// holds the offer as it then stands. Files as in Drops, "gone" ones missing.
TEST(TransferFiles, CommandLineOffers) {
  struct Case {
    const char* name;
    std::vector<Text> paths;
    bool ok;
    std::vector<Text> melodies, images;  // on offer afterwards; "old" keeps it
    const char* says;
  };
  const std::vector<Text> old{u"old"};
  const auto elevenM = numbered(u".mmd", 11);
  const Case cases[] = {
      {"blanks and Japanese",
       {u"/d/メロ ディ.mmd", u"/d/a b.bmp"},
       true,
       {u"/d/メロ ディ.mmd"},
       {u"/d/a b.bmp"},
       "on offer: 1 melody, 1 image"},
      {"a folder", {u"/d/dir.mmd"}, false, old, old, "a folder"},
      {"a missing file", {u"/d/gone.bmp"}, false, old, old, "no such file"},
      {"eleven melodies", elevenM, false, old, old, "11 melodies: at most 10"},
      {"a wrong-size bitmap",
       {u"/d/f1.mmd", u"/d/wide.bmp"},
       false,
       {u"/d/f1.mmd"},
       old,
       "not a bitmap"},
      {"no melody", {u"/d/bad.mmd", u"/d/f1.bmp"}, false, old, {u"/d/f1.bmp"}, "not a melody"},
      {"neither kind", {u"/d/f1.mmd", u"/d/notes.txt"}, false, old, old, "neither a melody"},
      {"withdrawn", {}, true, {}, {}, "nothing on offer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Transfer t;
    int size = 8;
    for (const Text& p : c.paths) {
      if (p.find(u"dir") != Text::npos) {
        t.files.addDirectory(p);
      } else if (p == u"/d/wide.bmp") {
        t.bitmap(p, 120, 50);
      } else if (p.ends_with(u".bmp") && p.find(u"gone") == Text::npos) {
        t.bitmap(p, ++size, 8);
      } else if (p.ends_with(u".mmd") || p.ends_with(u".txt")) {
        t.files.writeText(p, p == u"/d/bad.mmd" ? u"hello" : u"<MEL=" + p + u">");
      }
    }
    t.f.MelodyPool = {u"<MEL=old>", u"<MEL=old2>"};
    t.f.ImagePool = {u"<IMAGE>" + kImage16 + u"</IMAGE>", u"<IMAGE>" + kImage8 + u"</IMAGE>"};
    t.f.MelodyCount = t.f.ImageCount = 2;
    t.f.Text4.text = kNote;
    t.files.writeBytes(u"/app\\offer.dat", offerFileBytes(t.f));
    const FileIOModule1 before = t.f;
    std::string reply;
    EXPECT_EQ(t.f.offerFiles(c.paths, reply), c.ok);
    EXPECT_THAT(reply, ::testing::HasSubstr(c.says));
    for (const bool melody : {true, false}) {
      const auto& want = melody ? c.melodies : c.images;
      const auto& pool = melody ? t.f.MelodyPool : t.f.ImagePool;
      const auto count = melody ? t.f.MelodyCount : t.f.ImageCount;
      if (want == old) {
        EXPECT_EQ(pool, melody ? before.MelodyPool : before.ImagePool);
        EXPECT_EQ(count, 2);
      } else {
        EXPECT_EQ(std::vector<Text>(pool.begin(), pool.begin() + count), t.loaded(want, melody));
      }
    }
    EXPECT_EQ(t.f.Text4.text, t.f.MelodyCount > 0 ? kNote : u"");
    // The offer file restores exactly what is on offer now.
    FileIOModule1 restored;
    const auto kept = t.files.readBytes(u"/app\\offer.dat");
    ASSERT_TRUE(kept && readOfferFile(*kept, restored));
    EXPECT_EQ(offerFileBytes(restored), offerFileBytes(t.f)) << "the offer was not kept";
  }
}

// The offer kept by the last run comes back at start and is shown as a
// loaded one; a file that cannot be read leaves nothing on offer and says so.
TEST(TransferFiles, KeptOfferAtStart) {
  FileIOModule1 offered;
  offered.MelodyPool = {u"<MEL=a>", u"<MEL=ｂ 日本>"};
  offered.ImagePool = {u"<IMAGE>" + kImage16 + u"</IMAGE>", u"<IMAGE>" + kImage8 + u"</IMAGE>"};
  offered.MelodyCount = offered.ImageCount = 2;
  FileIOModule1 menuLoaded;  // a menu load: entry 0 offered, the count 0
  menuLoaded.MelodyPool[0] = u"<MEL=c>";
  const auto bytes = [](const FileIOModule1& pools) {
    const Bytes b = offerFileBytes(pools);
    return std::string(b.begin(), b.end());
  };
  const std::string whole = bytes(offered);
  const std::string refused =
      "前回の提供（offer.dat）を読めません。提供中のメロディーとイメージはありません";
  struct Case {
    const char* name;
    std::optional<std::string> file;
    const FileIOModule1* restored;  // null: nothing on offer
    bool said;
  } const cases[] = {
      {"round trip", whole, &offered, false},
      {"entry 0 of a menu load", bytes(menuLoaded), &menuLoaded, false},
      {"no file", std::nullopt, nullptr, false},
      {"empty", "", nullptr, true},
      {"torn", whole.substr(0, whole.size() - 4), nullptr, true},
      {"torn within an entry", whole.substr(0, whole.find("<MEL=a") + 4), nullptr, true},
      {"newer version", "ondrix-offer 2\n" + whole.substr(whole.find('\n') + 1), nullptr, true},
      {"more than ten", "ondrix-offer 1\nmelodies 11 11\n", nullptr, true},
      {"count and entries disagree", "ondrix-offer 1\nmelodies 2 1\n<MEL=a>\nimages 0 0\nend\n",
       nullptr, true},
      {"not a melody", "ondrix-offer 1\nmelodies 1 1\nhello\nimages 0 0\nend\n", nullptr, true},
      {"more after the end", whole + "x\n", nullptr, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Transfer t;
    if (c.file) t.files.writeBytes(u"/app\\offer.dat", utf8(*c.file));
    t.f.restoreOffer();
    const FileIOModule1 none;
    const FileIOModule1& want = c.restored ? *c.restored : none;
    EXPECT_EQ(t.f.MelodyPool, want.MelodyPool);
    EXPECT_EQ(t.f.ImagePool, want.ImagePool);
    EXPECT_EQ(t.f.MelodyCount, want.MelodyCount);
    EXPECT_EQ(t.f.ImageCount, want.ImageCount);
    EXPECT_EQ(t.f.Text3.text, c.said ? fromUtf8(refused) + u"\r\n" : u"");
    EXPECT_EQ(t.f.Text4.text, want.MelodyPool[0].empty() ? u"" : kNote);
    // The last image is shown, from a bitmap of its own beside the store.
    const bool picture = imagesOffered(want) > 0;
    EXPECT_EQ(t.f.Image1.picturePath, picture ? u"/app\\offer.bmp" : u"");
    if (picture) {
      EXPECT_EQ(t.files.readBytes(u"/app\\offer.bmp"), Transfer::working(false, kImage8));
    }
  }
}

// The entry's command for a program path, quoted and escaped by the desktop
// entry's rules: inside quotes " ` $ \ take a backslash, % is doubled, and
// then every backslash is doubled as in any string value.
TEST(LoginStart, EntryStartsTheProgramWithStart) {
  const std::string head =
      "[Desktop Entry]\nType=Application\nName=Ondrix Server\nName[ja]=Ondrix サーバー\n"
      "Icon=ondrix-server\nTerminal=false\nExec=";
  const std::pair<Text, std::optional<std::string>> cases[] = {
      {u"/usr/bin/ondrix-server", "/usr/bin/ondrix-server"},
      {u"/opt/My サーバー/s", "\"/opt/My サーバー/s\""},
      {u"/a b/\"`$\\%", "\"/a b/\\\\\"\\\\`\\\\$\\\\\\\\%%\""},
      {u"ondrix-server", std::nullopt},
      {u"/a\nb", std::nullopt},
  };
  for (const auto& [path, exec] : cases) {
    const auto entry = loginEntryBytes(path);
    ASSERT_EQ(entry.has_value(), exec.has_value()) << toUtf8(path);
    if (entry) {
      EXPECT_EQ(*entry, utf8(head + *exec + " --start\n")) << toUtf8(path);
    }
  }
  // A server of one line starts again in its own folder.
  EXPECT_EQ(loginEntryBytes(u"/usr/bin/ondrix-server", u"/h/line 2"),
            utf8(head + "/usr/bin/ondrix-server --start --dir \"/h/line 2\"\n"));
  EXPECT_EQ(loginEntryBytes(u"/usr/bin/ondrix-server", u"line2"), std::nullopt);
}

TEST(LoginStart, ItemFollowsTheEntryAndAFaultChangesNothingElse) {
  using P = LoginEntryPlace;
  const Bytes ours = *loginEntryBytes(u"/usr/bin/ondrix-server");
  const Text notSet(status::kLoginStartNotSet);
  struct Case {
    P place;
    Bytes entry;
    bool writeOk, removeOk;
    bool shownChecked, checked;  // when the menu opens, after the click
    int writes, removals;
    Text notice;  // the status line the click adds
  } const cases[] = {
      {P::Free, {}, true, true, false, true, 1, 0, u""},
      {P::Entry, ours, true, true, true, false, 0, 1, u""},
      // An entry switched off starts nothing: the click puts ours in its place.
      {P::Entry, utf8("[Desktop Entry]\r\nHidden = true\r\n"), true, true, false, true, 1, 0, u""},
      {P::Free, {}, false, true, false, false, 1, 0, notSet},
      {P::Folder, {}, true, true, false, false, 0, 0, Text(status::kLoginStartFolderInWay)},
      {P::Entry, ours, true, false, true, true, 0, 1, Text(status::kLoginStartNotRemoved)},
  };
  for (const auto& c : cases) {
    Transfer t;
    FakeLoginStart login;
    login.place = c.place;
    login.entry = c.entry;
    login.writeSucceeds = c.writeOk;
    login.removeSucceeds = c.removeOk;
    t.f.loginStart = &login;
    t.f.showStatusLine(u"受信待ち");
    t.f.loginStartShown();
    EXPECT_EQ(t.f.loginStartItem.checked, c.shownChecked);
    t.f.loginStartClicked();
    EXPECT_EQ(t.f.loginStartItem.checked, c.checked);
    EXPECT_EQ(std::pair(login.writes, login.removals), std::pair(c.writes, c.removals));
    EXPECT_EQ(login.entry, c.checked ? ours : Bytes{});
    EXPECT_EQ(t.f.Text3.text, u"受信待ち\r\n" + c.notice + (c.notice.empty() ? u"" : u"\r\n"));
  }
}

TEST(HelpMenu, OpensTheHelpFileAndTheAboutBox) {
  Transfer t;
  t.f.CMHELPMENU_Click();
  t.f.CMINFO_Click();
  EXPECT_EQ(t.desktop.helpOpened, std::vector<Text>{u"/app\\Tavixsv.hlp"});
  EXPECT_EQ(t.desktop.aboutShown, 1);
}

}  // namespace
}  // namespace ondrix
