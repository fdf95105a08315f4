// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/file_commands.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

#include "browser/folder_tree_ui.h"
#include "dialogs/markup.h"
#include "dialogs/options.h"
#include "fileops/file_clipboard.h"
#include "fileops/file_operations.h"
#include "foundation/file_system.h"
#include "foundation/platform.h"
#include "main_window_fixture.h"

namespace trovix {
namespace {

namespace fs = std::filesystem;

FileEntry Entry(const std::string &name, bool marked, bool folder = false) {
  FileEntry e;
  e.Name = name;
  e.Selected = marked;
  e.Attributes = folder ? faDirectory : 0;
  return e;
}

// ---- The rules, without a window --------------------------------------------------

TEST(FileCommandRules, RenameModesAndNewNames) {
  EXPECT_EQ(RenameModeOf({Entry("a.txt", true), Entry("b.txt", true)}).Mode, rmExtensions);
  EXPECT_EQ(RenameModeOf({Entry("report.doc", true), Entry("REPORT.pdf", true)}).Mode, rmBaseNames);
  EXPECT_FALSE(RenameModeOf({Entry("a.txt", true), Entry("b.doc", true)}).Enabled);
  // One mark, or names the same but for case: a plain rename.
  EXPECT_EQ(RenameModeOf({Entry("a.txt", true), Entry("b.doc", false)}).Mode, rmName);
  EXPECT_EQ(RenameModeOf({Entry("a.txt", true), Entry("A.TXT", true)}).Mode, rmName);

  EXPECT_EQ(RenameDefaultText(rmBaseNames, "report.doc"), "report");
  EXPECT_EQ(RenameDefaultText(rmExtensions, "a.tar.gz"), "gz");
  EXPECT_EQ(RenamedName(rmName, "plan", "Makefile"), "plan");
  EXPECT_EQ(RenamedName(rmBaseNames, "final", "report.pdf"), "final.pdf");
  EXPECT_EQ(RenamedName(rmExtensions, "md", "b.txt"), "b.md");
  for (const char *bad : {"", ".", "..", "a/b", "../a"}) EXPECT_FALSE(ValidItemName(bad)) << bad;
  EXPECT_TRUE(ValidItemName(".hidden"));

  EXPECT_EQ(DeleteQuestion({Entry("a", false)}), "");
  // A name holding markup codes is shown as it is, not as codes.
  for (const std::string &q :
       {DeleteQuestion({Entry("x|1|n|]y", true)}), DeleteFolderQuestion("/d/|b|4/")}) {
    int codes = 0;
    for (const MarkupToken &t : MarkupParse(q, '|')) codes += t.isCode;
    EXPECT_EQ(codes, 2) << q;
  }
  DeleteRequest r =
      BuildDeleteRequest("/d/", {Entry("sub", true, true), Entry("a", false), Entry("b", true),
                                 Entry("c", true), Entry("e", false)});
  EXPECT_EQ(r.Sources, (std::vector<std::string>{"/d/sub/", "/d/b", "/d/c"}));
  EXPECT_EQ(r.NextName, "e");  // the first entry after the last file that survives
  EXPECT_EQ(BuildDeleteRequest("/d/", {Entry("a", false), Entry("b", true)}).NextName, "");
  EXPECT_EQ(BuildDeleteRequest("/d/", {Entry("s", true, true), Entry("a", false)}).NextName, "");
}

TEST(FileCommandRules, FolderFilesAreCountedWithinAMoment) {
  test::TempFolder dir("trovix-count");
  for (int i = 0; i < 600; ++i) test::WriteAll(dir / std::to_string(i), "");
  fs::create_directory(dir / "sub");
  test::WriteAll(dir / "sub/one", "");
  EXPECT_EQ(FolderFilesNote({dir.path()}, 1000), " (holds 601 files)");
  EXPECT_EQ(FolderFilesNote({dir.path()}, 0), " (holds more than 256 files)");
  EXPECT_EQ(FolderFilesNote({}, 0), "");
}

TEST(FileClipboardRules, FormatsReadAndWritten) {
  const std::vector<std::string> paths = {"/h/a b.txt", "/h/caf\xE9"};
  EXPECT_EQ(UriListText(paths), "file:///h/a%20b.txt\r\nfile:///h/caf%E9\r\n");
  EXPECT_EQ(GnomeCopiedFilesText(true, paths), "cut\nfile:///h/a%20b.txt\nfile:///h/caf%E9");
  FileClipboard c;
  ASSERT_TRUE(ParseFileClipboard(GnomeCopiedFilesText(false, paths), "", "", c));
  EXPECT_FALSE(c.Cut);
  EXPECT_EQ(c.Paths, paths);
  // Dolphin: a URL list and the cut mark; comments, other hosts and schemes left out.
  ASSERT_TRUE(ParseFileClipboard(
      "", "1", "# note\r\nfile://localhost/h/x\r\nhttp://e/y\r\nfile://other/z\r\nfile:///h/%41",
      c));
  EXPECT_TRUE(c.Cut);
  EXPECT_EQ(c.Paths, (std::vector<std::string>{"/h/x", "/h/A"}));
  EXPECT_FALSE(ParseFileClipboard("copy\n", "", "plain text", c));
  std::string path;
  EXPECT_FALSE(FileUriPath("file:///a%00b", path));  // no NUL byte reaches a path
}

class FileCommands : public MainWindowFixture {};

TEST_F(FileCommands, MoveToTrashFromTheMenusAndByDel) {
  test::ScopedEnv data("XDG_DATA_HOME", root + "data");
  const std::string trash = root + "data/Trash/files/";
  for (const char *name : {"t.txt", "u.txt", "v.txt", "tree/in"}) Write(work + name);
  Start();
  Mark({"t.txt"});
  form->mTrash->trigger();
  EXPECT_TRUE(fs::exists(trash + "t.txt"));
  EXPECT_TRUE(LogHas("\t" + work + "t.txt moved to " + trash + "t.txt"));
  EXPECT_EQ(List().FindFileEntry("t.txt"), -1);  // listed again

  // Del moves to the trash only with the option, without a question; Shift+Del deletes.
  SetOptionDelMovesToTrash(true);
  const size_t asked = messages.size();
  Mark({"u.txt"});
  QTest::keyClick(form->GFileInfo, Qt::Key_Delete);
  EXPECT_EQ(messages.size(), asked);
  EXPECT_TRUE(fs::exists(trash + "u.txt"));
  Mark({"v.txt"});
  answers = {1};  // No
  QTest::keyClick(form->GFileInfo, Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(messages.size(), asked + 1);
  SetOptionDelMovesToTrash(false);

  // The tree's folder goes whole and its parent becomes the selection; a failure says why.
  form->FolderTree->SelectedFolderWrite(work + "tree/");
  form->mTreeTrash->trigger();
  EXPECT_TRUE(fs::exists(trash + "tree/in"));
  EXPECT_EQ(form->FolderTree->SelectedFolderRead(), work);
  FsInjectFault(FsOp::Rename, "v.txt", EBUSY);
  Mark({"v.txt"});
  form->mTrash->trigger();
  FsClearFaults();
  EXPECT_EQ(messages.back(), "|1|bERROR: |nCannot move to Trash: " + work + "v.txt (" +
                                 MarkupEscape(FsErrorText(EBUSY)) + ")");
  EXPECT_TRUE(fs::exists(work + "v.txt"));
}

TEST_F(FileCommands, ClipboardCopyCutAndPasteWithOtherFileManagers) {
  Write(work + "a.txt", "aa");
  Write(work + "b.txt", "bb");
  Write(work + "d/x", "x");
  Write(root + "dest/keep", "");
  Start();
  Mark({"a.txt", "d"});
  QTest::keyClick(form->GFileInfo, Qt::Key_C, Qt::ControlModifier);
  const QMimeData *data = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->data("x-special/gnome-copied-files").toStdString(),
            "copy\nfile://" + work + "d\nfile://" + work + "a.txt");
  EXPECT_EQ(data->data("application/x-kde-cutselection").toStdString(), "0");
  EXPECT_EQ(data->urls().size(), 2);

  form->FolderTree->SelectedFolderWrite(root + "dest/");
  QTest::keyClick(form->GFileInfo, Qt::Key_V, Qt::ControlModifier);
  FinishOperations();
  EXPECT_EQ(Read(root + "dest/a.txt"), "aa");
  EXPECT_EQ(Read(root + "dest/d/x"), "x");
  EXPECT_TRUE(fs::exists(work + "a.txt"));
  EXPECT_EQ(LogTitles().back(), "Copy to " + root + "dest/");

  // Cut in the tree (its folder), pasted in the grid: moved, clipboard emptied.
  form->FolderTree->SelectedFolderWrite(work + "d/");
  form->FolderTree->setFocus();
  QTest::keyClick(form->FolderTree, Qt::Key_X, Qt::ControlModifier);
  form->FolderTree->SelectedFolderWrite(root + "dest/");
  Write(root + "dest/d/x", "changed");  // a conflict becomes an issue, nothing replaced
  form->GFileInfo->setFocus();
  QTest::keyClick(form->GFileInfo, Qt::Key_V, Qt::ControlModifier);
  FinishOperations();
  EXPECT_EQ(Read(root + "dest/d/x"), "changed");
  EXPECT_GT(IssueList.Count(), 0);
  IssueList.Clear();
  const QMimeData *left = QGuiApplication::clipboard()->mimeData();
  EXPECT_TRUE(!left || !left->hasFormat("text/uri-list"));

  // What Dolphin puts there for a cut, and what Nautilus puts there for a copy.
  auto *dolphin = new QMimeData;
  dolphin->setData("text/uri-list", QByteArray::fromStdString(FileUri(work + "b.txt") + "\r\n"));
  dolphin->setData("application/x-kde-cutselection", "1");
  QGuiApplication::clipboard()->setMimeData(dolphin);
  QTest::keyClick(form->GFileInfo, Qt::Key_V, Qt::ControlModifier);
  FinishOperations();
  EXPECT_EQ(Read(root + "dest/b.txt"), "bb");
  EXPECT_FALSE(fs::exists(work + "b.txt"));
  auto *nautilus = new QMimeData;
  nautilus->setData("x-special/gnome-copied-files",
                    QByteArray::fromStdString("copy\n" + FileUri(work + "one.txt")));
  Write(work + "one.txt", "1");
  QGuiApplication::clipboard()->setMimeData(nautilus);
  QTest::keyClick(form->GFileInfo, Qt::Key_V, Qt::ControlModifier);
  FinishOperations();
  EXPECT_EQ(Read(root + "dest/one.txt"), "1");
  EXPECT_TRUE(fs::exists(work + "one.txt"));
}

TEST_F(FileCommands, RenamesNeverReplaceAndDuplicatesNeverCollide) {
  // The second rename would take a name that is there: the first stays, the
  // command stops, and the file holding the name keeps its content.
  Write(work + "y.txt", "Y");
  Write(work + "a.md", "A");
  Write(work + "z.md", "old");
  RenameResult r = RenameNames({"y.txt", "a.md"}, work, rmBaseNames, "z");
  EXPECT_FALSE(r.Ok);
  EXPECT_EQ(r.Renamed, 1);
  EXPECT_EQ(r.FailedName, "a.md");
  EXPECT_EQ(r.SelectName, "z.txt");
  EXPECT_EQ(r.Log, (std::vector<std::string>{work + "y.txt renamed to z.txt"}));
  EXPECT_EQ(Read(work + "z.txt"), "Y");
  EXPECT_EQ(Read(work + "z.md"), "old");
  EXPECT_EQ(Read(work + "a.md"), "A");
  // A name that would leave the folder is refused.
  EXPECT_FALSE(RenameNames({"z.txt"}, work, rmName, "../z.txt").Ok);
  EXPECT_EQ(Read(work + "z.txt"), "Y");

  EXPECT_EQ(DuplicateStep(".profile"), "_.profile");
  EXPECT_EQ(DuplicateStep("a.tar.gz"), "a_.tar.gz");
  // x.txt and x_.txt marked together: the second does not take the first's
  // new name although neither copy exists yet.
  Write(work + "x.txt");
  Write(work + "x_.txt");
  DuplicateRequest d = BuildDuplicateRequest(work, {Entry("x.txt", true), Entry("x_.txt", true)});
  EXPECT_EQ(d.Destinations, (std::vector<std::string>{work + "x__.txt", work + "x___.txt"}));
  EXPECT_EQ(d.LastName, "x___.txt");

  // New File never takes a name that is there, even a dangling link's.
  ASSERT_TRUE(FsCreateLink(work + "nowhere", work + "dangling"));
  EXPECT_FALSE(CreateNewFile(work, "dangling"));
  EXPECT_FALSE(fs::exists(work + "nowhere"));
  EXPECT_FALSE(CreateNewFile(work, "sub/inner.txt"));
}

// ---- The commands in the main window ----------------------------------------------

TEST_F(FileCommands, RenameControlsAndRenames) {
  for (const char *n : {"a.txt", "b.txt", "b.doc", "report.doc", "report.pdf", "notes.txt"})
    Write(work + n, n);
  fs::create_directories(work + "sub");
  Start();
  Mark({"a.txt", "b.doc"});
  EXPECT_FALSE(form->bRename->isEnabled());
  EXPECT_FALSE(form->mRename->isEnabled());

  // Two extensions at once; the prompt starts from the current row's.
  Mark({"a.txt", "b.txt"});
  EXPECT_EQ(form->mRename->text().toStdString(), "Rename Extension(s)");
  form->GFileInfo->SetRow(RowOf("a.txt"));
  typed = {"md"};
  form->bRename->trigger();
  ASSERT_EQ(prompts.size(), 1u);
  EXPECT_EQ(prompts.back(), "|bRename Extension(s)");
  EXPECT_EQ(defaults.back(), "txt");
  EXPECT_TRUE(fs::exists(work + "a.md") && fs::exists(work + "b.md"));
  EXPECT_FALSE(fs::exists(work + "a.txt"));
  EXPECT_EQ(CurrentName(), "b.md");
  EXPECT_TRUE(LogHas("\t" + work + "a.txt renamed to a.md"));

  // Ctrl+R on the grid, as the item menu shows it.
  Mark({"report.doc", "report.pdf"});
  typed = {"final"};
  QTest::keyClick(form->GFileInfo, Qt::Key_R, Qt::ControlModifier);
  EXPECT_TRUE(fs::exists(work + "final.doc") && fs::exists(work + "final.pdf"));

  // One name: the old extension is kept unless one is typed.
  Mark({"notes.txt"});
  form->GFileInfo->SetRow(RowOf("notes.txt"));
  typed = {"plan"};
  form->bRename->trigger();
  EXPECT_EQ(defaults.back(), "notes.txt");
  EXPECT_EQ(Read(work + "plan.txt"), "notes.txt");

  // Onto a name that is taken: the error, and both files as they were.
  Mark({"plan.txt"});
  typed = {"final.doc"};
  form->bRename->trigger();
  EXPECT_EQ(messages.back(), "|1|bERROR: Could not Rename file plan.txt: exists");
  EXPECT_EQ(Read(work + "final.doc"), "report.doc");
  EXPECT_EQ(Read(work + "plan.txt"), "notes.txt");
  // A name holding the delimiter, and a failure the system reports: each says why.
  typed = {"a/b"};
  form->bRename->trigger();
  EXPECT_EQ(messages.back(), "|1|bERROR: Could not Rename file plan.txt: name contains /");
  FsInjectFault(FsOp::Rename, "plan.txt", EROFS);
  typed = {"plan2.md"};
  form->bRename->trigger();
  FsClearFaults();
  EXPECT_EQ(messages.back(),
            "|1|bERROR: Could not Rename file plan.txt: " + MarkupEscape(FsErrorText(EROFS)));

  // A cancelled prompt renames nothing.
  size_t before = LogLines().size();
  form->bRename->trigger();
  EXPECT_TRUE(fs::exists(work + "plan.txt"));
  EXPECT_EQ(LogLines().size(), before + 2);  // the separator and "Rename" only

  // From the tree's menu: the tree's folder is edited in place.
  form->FolderTree->SelectedFolderWrite(work + "sub/");
  const size_t asked = prompts.size();
  form->mTreeRename->trigger();
  EXPECT_EQ(prompts.size(), asked);
  QLineEdit *editor = form->FolderTree->findChild<QLineEdit *>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text().toStdString(), "sub");
}

TEST_F(FileCommands, DeleteAsksAndSelectsTheNextEntry) {
  for (const char *n : {"a.txt", "b.txt", "c.txt", "d.txt"}) Write(work + n);
  Write(work + "sub/inner.txt");
  Start();

  Mark({"a.txt", "b.txt", "sub"});
  answers = {1};  // No
  form->bDelete->trigger();
  EXPECT_EQ(messages.back(), "|b|4Delete 3 File(s) / Folder(s)? (holds 1 file)");
  EXPECT_TRUE(fs::exists(work + "a.txt"));

  // One file in the middle: the entry after it becomes current.
  Mark({"b.txt"});
  QTest::keyClick(form->GFileInfo, Qt::Key_Delete);
  EXPECT_EQ(messages.back(), "|b|4Delete b.txt?");
  FinishOperations();
  EXPECT_FALSE(fs::exists(work + "b.txt"));
  EXPECT_EQ(CurrentName(), "c.txt");
  EXPECT_TRUE(LogHas("\t" + work + "b.txt deleted"));

  // Nothing marked: no question.
  Mark({});
  size_t asked = messages.size();
  form->bDelete->trigger();
  EXPECT_EQ(messages.size(), asked);

  // The tree's folder, by Del on the tree; a volume is never offered.
  fs::create_directories(work + "old/deep");
  form->bRefreshClick();
  form->FolderTree->SelectedFolderWrite(work + "old/");
  QTest::keyClick(form->FolderTree, Qt::Key_Delete);
  EXPECT_EQ(messages.back(), "|b|4Delete Folder " + work + "old/ (holds 0 files)");
  FinishOperations();
  EXPECT_FALSE(fs::exists(work + "old"));
  EXPECT_EQ(LogTitles().back(), "Delete Folder");
  form->FolderTree->SelectedFolderWrite(root);
  asked = messages.size();
  form->mTreeDelete->trigger();
  EXPECT_EQ(messages.size(), asked);
  EXPECT_TRUE(fs::exists(work));
}

TEST_F(FileCommands, DuplicateAddsUnderscores) {
  Write(work + "x.txt", "content");
  fs::create_directories(work + "Docs/in");
  fs::create_directories(work + "Docs_");
  Start();

  Mark({"x.txt"});
  form->bDuplicate->trigger();
  EXPECT_EQ(messages.back(), "|b|4Duplicate Selected File(s) / Folder(s)?");
  FinishOperations();
  EXPECT_EQ(Read(work + "x_.txt"), "content");
  EXPECT_EQ(CurrentName(), "x_.txt");
  EXPECT_EQ(LogTitles().back(), "Duplicate");

  Mark({"Docs"});
  form->bDuplicate->trigger();
  FinishOperations();
  EXPECT_TRUE(fs::is_directory(work + "Docs__/in"));
  EXPECT_TRUE(fs::is_empty(work + "Docs_"));

  // No on the question: nothing copied.
  Mark({"x.txt"});
  answers = {1};
  form->bDuplicate->trigger();
  EXPECT_EQ(ActiveOperations, 0);
  EXPECT_FALSE(fs::exists(work + "x__.txt"));
}

TEST_F(FileCommands, NewFileNewFolderAndTestRead) {
  Write(work + "NewFile.txt", "precious");
  Start();

  typed = {"NewFile.txt"};
  form->bNewFile->trigger();
  EXPECT_EQ(prompts.back(), "|b|4Name of New File");
  EXPECT_EQ(defaults.back(), "NewFile.txt");
  EXPECT_EQ(messages.back(), "|1|bERROR: Could not Create file NewFile.txt: exists");
  EXPECT_EQ(Read(work + "NewFile.txt"), "precious");

  typed = {"todo.txt"};
  form->mNewFile->trigger();
  EXPECT_TRUE(fs::is_regular_file(work + "todo.txt"));
  EXPECT_EQ(CurrentName(), "todo.txt");

  form->bNewFolder->trigger();
  EXPECT_TRUE(fs::is_directory(work + "NewFolder"));
  EXPECT_EQ(form->FolderTree->SelectedFolderRead(), work + "NewFolder/");

  // Test Read: two entries, no detail line for files that read well.
  form->FolderTree->SelectedFolderWrite(work);
  Mark({"NewFile.txt", "todo.txt"});
  LogClear();
  form->mTestRead->trigger();
  FinishOperations();
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"Test", "", "Test to "}));
  EXPECT_EQ(IssueList.Count(), 0);
}

}  // namespace
}  // namespace trovix
