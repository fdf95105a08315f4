// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/platform.h"
#include "foundation/platform_ui.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <list>
#include <map>
#include <random>

#include "test_util.h"

using namespace trovix;

namespace {

using Args = std::vector<std::string>;

// Replaces the command runner and the desktop opener with recorders, and the
// environment the helpers read with a private one, for every test.
class PlatformSeams : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(root.empty());
    for (const char *name :
         {"TERMINAL", "SHELL", "XDG_CURRENT_DESKTOP", "LANG", "LC_ALL", "LC_MESSAGES"})
      env.emplace_back(name, std::nullopt);
    // The MIME database is found through XDG_DATA_DIRS as well: keep it
    // reachable without the system's applications.
    QDir().mkpath(QString::fromStdString(root + "mimedata"));
    QFile::link("/usr/share/mime", QString::fromStdString(root + "mimedata/mime"));
    const std::pair<const char *, std::string> paths[] = {
        {"XDG_DATA_HOME", root + "data"},
        {"XDG_DATA_DIRS", root + "sysdata:" + root + "mimedata"},
        {"XDG_CONFIG_HOME", root + "config"},
        {"XDG_CONFIG_DIRS", root + "sysconfig"},
        {"XDG_RUNTIME_DIR", root + "run"}};
    for (const auto &[name, value] : paths) env.emplace_back(name, value);
    SetCommandRunner([this](const ExternalCommand &c) {
      commands.push_back(c);
      auto found = results.find(c.program);
      return onRun ? onRun(c) : found == results.end() ? 0 : found->second;
    });
    SetUrlOpener([this](const QUrl &url) {
      urls.push_back(url);
      return openerWorks;
    });
    // The next modal Open With dialog is handed to answer; a dialog that
    // nobody expects fails the test and is cancelled.
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [this] {
      auto *d = qobject_cast<TOpenWithDialog *>(QApplication::activeModalWidget());
      if (!d) return;
      auto choose = std::exchange(answer, nullptr);
      if (!choose) ADD_FAILURE() << "unexpected Open With dialog";
      choose ? choose(d) : d->reject();
    });
    watch.start();
  }
  void TearDown() override {
    SetCommandRunner(nullptr);
    SetUrlOpener(nullptr);
  }

  test::TempFolder tmp{"trovix-platform"};
  const std::string root = tmp.path();
  std::list<test::ScopedEnv> env;
  std::vector<ExternalCommand> commands;
  std::map<std::string, int> results;  // exit status per program, 0 when absent
  CommandRunner onRun;                 // when set, runs in place of results
  std::vector<QUrl> urls;
  bool openerWorks = true;
  std::function<void(TOpenWithDialog *)> answer;
  QTimer watch;
};

}  // namespace

TEST(PlatformBitmaps, ImageFit) {
  struct Fit {
    const char *name;
    int width, height;
    QRect box, expected;
  };
  const Fit fits[] = {
      {"wide", 200, 100, {0, 0, 100, 100}, {0, 25, 100, 50}},
      {"tall", 100, 200, {0, 0, 100, 100}, {25, 0, 50, 100}},
      {"centred from 0, not the old corner", 200, 100, {10, 10, 100, 100}, {0, 25, 100, 50}},
      {"scaled up as well", 10, 3, {0, 0, 300, 90}, {0, 0, 300, 90}},
      {"empty picture keeps the box", 0, 100, {5, 5, 40, 40}, {5, 5, 40, 40}},
  };
  for (Fit f : fits) {
    ImageFit(f.width, f.height, f.box);
    EXPECT_EQ(f.box, f.expected) << f.name;
  }
}

TEST(PlatformBitmaps, RotateClockwise) {
  // a b c        d a
  // d e f   ->   e b
  //              f c
  QImage six(3, 2, QImage::Format_RGB32);
  const char names[] = "abcdef";
  auto colour = [](char n) { return qRgb(n, 2 * n - 150, 255 - n); };
  for (int i = 0; i < 6; ++i) six.setPixel(i % 3, i / 3, colour(names[i]));
  const QImage original = six;
  BitmapRotate(six);
  ASSERT_EQ(six.size(), QSize(2, 3));
  const char *expected[] = {"da", "eb", "fc"};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(six.pixel(x, y), colour(expected[y][x])) << x << "," << y;
  for (int i = 0; i < 3; ++i) BitmapRotate(six);
  EXPECT_EQ(six, original);

  QImage empty;
  BitmapRotate(empty);
  EXPECT_TRUE(empty.isNull());

  // The same colours as the plain column walk over 24-bit pixels, for
  // sizes around the tile's and pictures with alpha or a palette.
  std::mt19937 random(7);
  const QImage::Format formats[] = {QImage::Format_RGB32, QImage::Format_ARGB32,
                                    QImage::Format_RGB888, QImage::Format_Indexed8};
  for (int round = 0; round < 60; ++round) {
    const int w = 1 + static_cast<int>(random() % 140), h = 1 + static_cast<int>(random() % 140);
    QImage picture(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) picture.setPixel(x, y, static_cast<QRgb>(random()));
    picture = picture.convertToFormat(formats[round % 4]);
    const QImage source = picture.convertToFormat(QImage::Format_RGB888);
    QImage plain(h, w, QImage::Format_RGB888);
    for (int r = 0; r < w; ++r)
      for (int c = 0; c < h; ++c)
        std::memcpy(plain.scanLine(r) + 3 * c, source.constScanLine(h - 1 - c) + 3 * r, 3);
    BitmapRotate(picture);
    ASSERT_EQ(picture.convertToFormat(QImage::Format_RGB888), plain)
        << w << " x " << h << " format " << formats[round % 4];
  }
}

TEST(PlatformControls, EditableNamesKeepTheirBytes) {
  // Every byte string comes back exactly: invalid, truncated and overlong
  // sequences, encoded surrogates, and backslashes that look like escapes.
  const std::vector<std::string> names = {"plain.txt",
                                          "caf\xE9.txt",
                                          "\xC3\xA9t\xC3\xA9",
                                          "\xE2\x82",
                                          "\xC0\xAF",
                                          "\xED\xA0\x80",
                                          "a\\xE9b",
                                          "a\\x5",
                                          "\\",
                                          "\xF0\x9F\x98\x80\xFF",
                                          std::string("n\0l", 3)};
  for (const std::string &name : names) EXPECT_EQ(EditedBytes(EditableText(name)), name) << name;
  EXPECT_EQ(EditableText("caf\xE9.txt"), "caf\\xE9.txt");
  EXPECT_EQ(EditableText("a\\xE9b"), "a\\x5CxE9b");
  EXPECT_EQ(EditableText("\xC3\xA9"), QString::fromUtf8("\xC3\xA9"));
  // Typed escapes and the surrogate-escape code points give single bytes.
  EXPECT_EQ(EditedBytes("x\\xffy"), "x\xFFy");
  EXPECT_EQ(EditedBytes(QString("a") + QChar(0xDCE9)), "a\xE9");
  EXPECT_EQ(EditedBytes(QString::fromUtf8("\xC3\xA9")), "\xC3\xA9");
}

TEST(PlatformControls, ComboFillHistory) {
  QComboBox combo;
  combo.setEditable(true);
  for (int i = 0; i < 16; ++i) combo.addItem(QString("item%1").arg(i));
  // The first two items after text was entered; never more than 16.
  auto fill = [&](const QString &text) {
    combo.setEditText(text);
    ComboFill(&combo);
    EXPECT_EQ(combo.count(), 16);
    return combo.itemText(0) + "," + combo.itemText(1);
  };
  EXPECT_EQ(fill("new"), "new,item0");
  EXPECT_EQ(combo.itemText(15), "item14");  // the oldest went
  EXPECT_EQ(combo.currentText(), "new");
  EXPECT_EQ(fill("item7"), "item7,new");
  EXPECT_EQ(combo.findText("item7"), 0);  // moved, not copied
  EXPECT_EQ(combo.currentText(), "item7");
  EXPECT_EQ(fill("ITEM7"), "ITEM7,item7");  // case counts: a new entry
  EXPECT_EQ(fill(""), "ITEM7,item7");
}

TEST(PlatformControls, WindowToMouseStaysOnScreen) {
  QScreen *screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  const QRect geometry = screen->geometry();
  QCursor::setPos(geometry.right() - 10, geometry.bottom() - 10);
  if (QCursor::pos() != QPoint(geometry.right() - 10, geometry.bottom() - 10))
    GTEST_SKIP() << "the platform does not move the cursor";
  QWidget form;
  form.resize(200, 100);
  WindowToMouse(&form);
  EXPECT_EQ(form.x(), screen->virtualGeometry().x() + screen->virtualGeometry().width() - 200);
  EXPECT_EQ(form.y(), geometry.y() + geometry.height() - 32 - 100);

  QCursor::setPos(geometry.x() + 20, geometry.y() + 30);
  WindowToMouse(&form);
  EXPECT_EQ(form.pos(), QPoint(geometry.x() + 20, geometry.y() + 30));
}

TEST_F(PlatformSeams, TerminalMountsAndFileManager) {
  setenv("SHELL", "/bin/zsh", 1);
  setenv("TERMINAL", "kitty --single-instance", 1);
  EXPECT_TRUE(RunInTerminal("/home/u/src/", "make # all"));
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].program, "kitty");
  EXPECT_EQ(commands[0].args, (Args{"--single-instance", "-e", "/bin/zsh", "-c",
                                    "cd '/home/u/src/' || exit\nmake # all\nexec '/bin/zsh'"}));
  EXPECT_EQ(commands[0].workingFolder, "/home/u/src/");
  EXPECT_FALSE(commands[0].wait);

  results["kitty"] = CommandNotStarted;  // a missing $TERMINAL falls back
  commands.clear();
  EXPECT_TRUE(RunInTerminal("/tmp/", ""));
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[1].program, "x-terminal-emulator");
  EXPECT_TRUE(commands[1].args.empty());
  results["x-terminal-emulator"] = CommandNotStarted;
  EXPECT_FALSE(RunInTerminal("/tmp/", "ls"));

  // Mounts wait for gio; the new gvfs entry is the mount point.
  const std::string gvfs = root + "run/gvfs/", share = gvfs + "smb-share:server=nas,share=docs";
  test::WriteAll(gvfs + "old-mount/f", "x");
  EXPECT_EQ(GvfsFolder(), gvfs);
  commands.clear();
  onRun = [&](const ExternalCommand &) {
    return int(!QDir().mkpath(QString::fromStdString(share)));
  };
  std::string mountPoint;
  EXPECT_EQ(DriveConnect("smb://nas/docs", "", mountPoint), 0);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].program, "gio");
  EXPECT_EQ(commands[0].args, (Args{"mount", "-a", "--", "smb://nas/docs"}));
  EXPECT_TRUE(commands[0].wait);
  EXPECT_EQ(commands[0].input, "");
  EXPECT_EQ(mountPoint, share + "/");
  EXPECT_EQ(DriveConnect("sftp://me@host/", "secret", mountPoint), 0);
  EXPECT_EQ(commands[1].args, (Args{"mount", "--", "sftp://me@host/"}));
  EXPECT_EQ(commands[1].input, "secret\n");
  EXPECT_EQ(mountPoint, gvfs);  // nothing new: already mounted

  onRun = [](const ExternalCommand &c) { return c.args[1] == "-u" ? 2 : CommandNotStarted; };
  EXPECT_EQ(DriveConnect("smb://nas/docs", "", mountPoint), CommandNotStarted);  // no gio
  EXPECT_EQ(mountPoint, "");
  const size_t before = commands.size();
  EXPECT_EQ(DriveConnect("smb://nas/docs", "two\nlines", mountPoint), 1);
  EXPECT_EQ(DriveConnect("", "", mountPoint), 1);
  EXPECT_EQ(commands.size(), before);  // refused without running gio
  EXPECT_EQ(DriveDisconnect("-weird name"), 2);
  EXPECT_EQ(commands.back().args, (Args{"mount", "-u", "-f", "--", "-weird name"}));

  // Open File Location: the D-Bus call with a URI that survives dbus-send's
  // comma splitting; without an answer the folder is opened instead.
  commands.clear();
  onRun = nullptr;
  results = {{"dbus-send", CommandNotStarted}, {"gdbus", 1}};
  EXPECT_TRUE(OpenFileLocation(nullptr, "/data/a b,c/r\xE9sum\xE9.txt"));
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].args[6], "array:string:file:///data/a%20b%2Cc/r%E9sum%E9.txt");
  EXPECT_EQ(commands[1].program, "gdbus");
  EXPECT_EQ(commands[1].args[6], "['file:///data/a%20b%2Cc/r%E9sum%E9.txt']");
  ASSERT_EQ(urls.size(), 1u);
  EXPECT_EQ(urls[0].toEncoded().toStdString(), "file:///data/a%20b%2Cc/");
  results.clear();
  EXPECT_TRUE(OpenFileLocation(nullptr, "/data/x"));
  EXPECT_EQ(urls.size(), 1u);  // the file manager answered
}

TEST_F(PlatformSeams, RegisteredApplications) {
  const std::string apps = root + "data/applications/";
  auto entry = [](const std::string &file, const std::string &keys) {
    test::WriteAll(file, "[Desktop Entry]\nType=Application\n" + keys);
  };
  test::WriteAll(apps + "mimeinfo.cache",
                 "[MIME Cache]\ntext/plain=viewer.desktop;gone.desktop;hidden.desktop;\n"
                 "text/x-csrc=ide.desktop;\n");
  entry(apps + "viewer.desktop",
        "Name=Viewer\\sPlus\nIcon=viewer\nExec=\"/opt/My Apps/viewer\" --title=%c --icon-arg %i "
        "%U\n");
  entry(apps + "hidden.desktop", "Name=H\nExec=h\nHidden=true\n");
  entry(apps + "ide.desktop", "Name=IDE\nName[de]=Entwicklung\nExec=ide\nTerminal=true\n");
  entry(apps + "edit.desktop", "Name=Edit\nExec=sh -c \"edit %f\"\n");
  entry(apps + "gone.desktop", "Name=Gone\nExec=gone %f\n");
  // A data folder without a cache is read from its .desktop files.
  entry(root + "sysdata/applications/vendor/pad.desktop",
        "Name=Pad\nExec=pad %F\nMimeType=text/plain;\n");
  test::WriteAll(root + "config/mimeapps.list",
                 "[Default Applications]\ntext/plain=edit.desktop;missing.desktop\n"
                 "[Removed Associations]\ntext/plain=gone.desktop;\n");

  Args ids;
  for (const DesktopApp &app : AppsForMimeTypes({"text/x-csrc", "text/plain"}))
    ids.push_back(app.id);
  EXPECT_EQ(ids, (Args{"ide.desktop", "edit.desktop", "viewer.desktop", "vendor-pad.desktop"}));
  EXPECT_EQ(DesktopAppFind("vendor-pad.desktop"), root + "sysdata/applications/vendor/pad.desktop");
  EXPECT_EQ(DesktopAppFind("../data/applications/viewer.desktop"), "");

  DesktopApp viewer, edit, ide;
  ASSERT_TRUE(DesktopAppLoad(apps + "viewer.desktop", viewer) &&
              DesktopAppLoad(apps + "edit.desktop", edit) &&
              DesktopAppLoad(apps + "ide.desktop", ide));
  EXPECT_EQ(DesktopAppCommand(viewer, "/d/a b.txt"),
            (Args{"/opt/My Apps/viewer", "--title=Viewer Plus", "--icon-arg", "--icon", "viewer",
                  "file:///d/a%20b.txt"}));
  // A code inside quotes is never expanded into a shell line; the file goes last.
  EXPECT_EQ(DesktopAppCommand(edit, "/d/x;rm -rf ~"),
            (Args{"sh", "-c", "edit %f", "/d/x;rm -rf ~"}));
  setenv("TERMINAL", "xterm", 1);
  EXPECT_EQ(DesktopAppCommand(ide, "/d/m.c"), (Args{"xterm", "-e", "ide", "/d/m.c"}));
  EXPECT_EQ(ide.name, "IDE");
  setenv("LANG", "de_DE.UTF-8", 1);
  ASSERT_TRUE(DesktopAppLoad(apps + "ide.desktop", ide));
  EXPECT_EQ(ide.name, "Entwicklung");
  unsetenv("LANG");
  EXPECT_EQ(TypedCommand("gimp --new", "/d/p.png"), (Args{"gimp", "--new", "/d/p.png"}));
  EXPECT_EQ(TypedCommand("conv --in=%f --out 100%%", "/d/p"),
            (Args{"conv", "--in=/d/p", "--out", "100%"}));
  EXPECT_EQ(SplitCommandLine(R"(a "b c" d\ e "q\"x" "")"), (Args{"a", "b c", "d e", "q\"x", ""}));
  EXPECT_TRUE(TypedCommand("   ", "/d/p").empty());

  // Opening: the desktop opens a registered type; when it cannot, or for a
  // type nothing is registered for, the Open With dialog decides.
  const std::string text = root + "notes.txt", odd = root + "blob.zzqqx";
  test::WriteAll(text, "plain text\n");
  test::WriteAll(odd, std::string("\x01\x02\x03\x00\xff", 5));
  EXPECT_TRUE(WinOpenFile(nullptr, text));
  ASSERT_EQ(urls.size(), 1u);
  EXPECT_EQ(urls[0].toLocalFile().toStdString(), text);
  EXPECT_TRUE(commands.empty());

  openerWorks = false;
  answer = [](TOpenWithDialog *d) {
    EXPECT_EQ(d->lApps->count(), 3);
    EXPECT_EQ(d->lApps->currentRow(), 0);  // the default first
    d->lApps->setCurrentRow(2);
    d->accept();
  };
  EXPECT_TRUE(WinOpenFile(nullptr, text));
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].program, "pad");
  EXPECT_EQ(commands[0].args, (Args{text}));
  EXPECT_EQ(commands[0].workingFolder, root);

  urls.clear();
  answer = [](TOpenWithDialog *d) {
    EXPECT_EQ(d->lApps->count(), 0);
    EXPECT_FALSE(d->bOpen->isEnabled());
    d->eCommand->setText("hexview -r");
    EXPECT_TRUE(d->bOpen->isEnabled());
    d->accept();
  };
  EXPECT_TRUE(WinOpenFile(nullptr, odd));
  EXPECT_TRUE(urls.empty());
  EXPECT_EQ(commands.back().program, "hexview");
  EXPECT_EQ(commands.back().args, (Args{"-r", odd}));
  results["hexview"] = CommandNotStarted;
  answer = [](TOpenWithDialog *d) {
    d->eCommand->setText("hexview");
    d->accept();
  };
  EXPECT_FALSE(WinOpenFileWith(nullptr, odd));
  answer = [](TOpenWithDialog *d) { d->reject(); };
  EXPECT_TRUE(WinOpenFileWith(nullptr, odd));  // cancelled: not a failure
}

TEST(PlatformCommands, RealRunner) {
  test::TempFolder dir("trovix-platform");
  ExternalCommand run;
  run.program = "sh";
  run.args = {"-c", "{ pwd; echo \"$1\"; cat; } > out; exit 3", "sh", "arg one"};
  run.workingFolder = dir.path();
  run.wait = true;
  run.input = "from stdin\n";
  EXPECT_EQ(RunCommand(run), 3);
  const std::string folder = std::filesystem::canonical(dir.path()).string();
  EXPECT_EQ(test::ReadAll(dir / "out"), folder + "\narg one\nfrom stdin\n");

  run.program = "no-such-program-trovix";
  EXPECT_EQ(RunCommand(run), CommandNotStarted);
  run.program = "sh";
  run.workingFolder = dir / "missing/";
  EXPECT_EQ(RunCommand(run), CommandNotStarted);
  run.workingFolder = dir.path();
  run.input = std::string(5000, 'x');
  EXPECT_EQ(RunCommand(run), CommandNotStarted);

  // Detached: returns at once; the program runs on and does its work.
  ExternalCommand detached;
  detached.program = "/bin/sh";
  detached.args = {"-c", "read x; echo \"[$x]\" > detached"};
  detached.workingFolder = dir.path();
  EXPECT_EQ(RunCommand(detached), 0);
  QElapsedTimer clock;
  clock.start();
  while (test::ReadAll(dir / "detached").empty() && clock.elapsed() < 5000) QThread::msleep(10);
  EXPECT_EQ(test::ReadAll(dir / "detached"), "[]\n");  // stdin is empty
}

TEST(PlatformKeys, PostedKeysReachFocusedEdit) {
  QLineEdit edit;
  edit.show();
  QApplication::setActiveWindow(&edit);
  edit.setFocus();
  QApplication::processEvents();
  if (QApplication::focusWidget() != &edit) GTEST_SKIP() << "no focus on this platform";

  struct Recorder : QObject {
    std::vector<int> keys;            // pressed keys, released ones negated
    std::pair<int, QString> pressed;  // modifiers and text of the last press
    bool eventFilter(QObject *, QEvent *e) override {
      if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
        auto *k = static_cast<QKeyEvent *>(e);
        keys.push_back(e->type() == QEvent::KeyPress ? k->key() : -k->key());
        if (e->type() == QEvent::KeyPress) pressed = {k->modifiers().toInt(), k->text()};
      }
      return false;
    }
  } recorder;
  edit.installEventFilter(&recorder);
  PostKey('A', ssShift, false);
  QApplication::processEvents();
  EXPECT_EQ(recorder.keys,
            (std::vector<int>{Qt::Key_Shift, Qt::Key_A, -Qt::Key_A, -Qt::Key_Shift}));
  EXPECT_EQ(recorder.pressed, std::make_pair(int(Qt::ShiftModifier), QString("A")));

  PostKey('B', 0, false);
  PostKey('1', ssShift, false);  // the shift is released after the key
  PostKey(32, 0, false);
  PostKey('C', 0, false);
  QApplication::processEvents();
  EXPECT_EQ(edit.text(), "Ab! c");
  for (int vk : {8, 36, 46}) PostKey(vk, 0, false);  // backspace, home, delete
  QApplication::processEvents();
  EXPECT_EQ(edit.text(), "b! ");
  PostKey('A', ssCtrl, false);  // select all, then typing replaces it
  PostKey('Z', 0, false);
  QApplication::processEvents();
  EXPECT_EQ(edit.text(), "z");
  EXPECT_EQ(ShiftStateFromQt(Qt::ShiftModifier | Qt::ControlModifier), ssShift | ssCtrl);
}
