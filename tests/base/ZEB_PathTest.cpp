#include <gtest/gtest.h>

#include <clocale>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "TestSupport.h"
#include "ZEB_Path.h"

using TestSupport::thrown;
using ZEB::Path;

namespace {

namespace fs = std::filesystem;

void writeFile(const std::string & name, const std::string & content) {
	std::ofstream(name, std::ios_base::binary) << content;
}

std::string readFile(const std::string & name) {
	std::ifstream in(name, std::ios_base::binary);
	std::stringstream strm;
	strm << in.rdbuf();
	return strm.str();
}

// f(text) must give the second of each pair
template <typename F>
void expectEach(F f, const std::vector<std::pair<std::string, std::string> > & cases) {
	for (const auto & c : cases)
		EXPECT_EQ(f(c.first), c.second) << "'" << c.first << "'";
}

std::string normalised(const std::string & s) { return Path(s).str(); }

} // namespace


TEST(Path, NormalisesText) {
	expectEach(normalised, {{"  C:\\data\\ ", "C:/data"}, {" c:/x ", "C:/x"}, {"\t/a/b\r", "/a/b"}, {"./a", "a"},
		{"././a", "./a"}, {"./", "."}, {"a//", "a/"}, {"/", "/"}, {"   ", ""}, {"x\\y\\", "x\\y\\"}, {"a\\b/", "a\\b"},
		{"/:/\\", "/:/\\"}});
	Path p;
	p = std::string(" /q/../r ");
	EXPECT_EQ(p.osStr(), "/r");
	EXPECT_FALSE(Path().isValid());
	EXPECT_THROW(Path(static_cast<const char *>(nullptr)), std::logic_error);
}

TEST(Path, ResolvesParentReferencesOnlyInAbsoluteTexts) {
	expectEach(normalised, {{"/a/b/../c", "/a/c"}, {"//x//y/../z", "/x/z"}, {"/a/./b/../c", "/a/./c"},
		{"C:\\a\\b\\..\\c", "C:/a/c"}, {"/a/b/..", "/a/b/.."}, {"a/../b", "a/../b"}, {"a//b", "a//b"},
		{"/../a", ""}, {"/a/../../b", ""},
		{"/${Project Directory}/../x", "/${Project Directory}/../x"}, {"/$(dir)/../x", "/$(dir)/../x"}});
	std::vector<std::string> comps = {"a", "b", "..", "..", "c", "d", ".."};
	Path::removeRelativeParts(comps);
	EXPECT_EQ(comps, std::vector<std::string>({"c"}));
	comps = {"a", "..", "..", "b"};
	Path::removeRelativeParts(comps);
	EXPECT_TRUE(comps.empty());
}

TEST(Path, DetectsAbsolutePathsDrivesAndPlaceholders) {
	EXPECT_TRUE(Path("/x").isAbsolute());
	EXPECT_TRUE(Path("d:").isAbsolute());
	EXPECT_FALSE(Path("x/y").isAbsolute());
	EXPECT_FALSE(Path().isAbsolute());
	EXPECT_EQ(Path("d:/x").drive(), "D:");
	EXPECT_EQ(Path("/x:y").drive(), "");
	for (const char * t : {"a{b}c", "a}b{c", "$(x)", "x)$("})
		EXPECT_TRUE(Path(t).hasPlaceholder()) << t;
	for (const char * t : {"a{b", "$(x", "$x)", "a}"})
		EXPECT_FALSE(Path(t).hasPlaceholder()) << t;
}

TEST(Path, JoinsWithoutNormalising) {
	expectEach([](const std::string & s) { return (Path("/data") / s).str(); },
		{{"sub", "/data/sub"}, {"/sub", "/data/sub"}, {"./sub", "/data/sub"}, {"b/", "/data/b"},
		 {".", "/data"}, {"/", "/data"}, {"", "/data"}, {"  ", "/data"}, {"../c", "/data/../c"}});
	EXPECT_EQ((Path() / "a").str(), "/a");
	EXPECT_EQ((Path("/") / "a").str(), "//a");
	EXPECT_EQ((Path(".") / "a").str(), "a");
	EXPECT_EQ((std::string("x") / Path("y")).str(), "x/y");
	Path p("/r");
	p /= std::string("s");
	p.addPath(Path("t"));
	p /= Path();
	EXPECT_EQ(p.str(), "/r/s/t");
}

TEST(Path, AppendsTextWithoutSeparator) {
	EXPECT_EQ((Path("/data") + ".bak").str(), "/data.bak");
	EXPECT_EQ((Path("/data") + std::string("  x ")).str(), "/datax");
	EXPECT_EQ((Path("/data/x") + "/../y").str(), "/data/y");
	EXPECT_THROW(Path("/data") + static_cast<const char *>(nullptr), std::logic_error);
	// the drive letter of "a:..." would be upper-cased on construction
	Path fat("/x/a:b&c?d*e");
	fat.makeFatCompatible();
	EXPECT_EQ(fat.str(), "/x/a_b_c_d_e");
}

TEST(Path, ReadsFileURIs) {
	expectEach([](const std::string & s) { return Path::fromURI(s).str(); },
		{{"file:///home/u/res", "/home/u/res"}, {"file:/home/u", "/home/u"}, {"file:///C:/x", "C:/x"},
		 {"file:///ab", "ab"}, {"file:///a%20b", "/a%20b"}, {"file://host/x", "//host/x"},
		 {"file:///home/u/ ", "/home/u"}, {"/plain/dir", "/plain/dir"}, {" rel\\dir ", "rel\\dir"}});
}

TEST(Path, ReadsResourceLocationsAsHostsSendThem) {
	expectEach([](const std::string & s) { return Path::fromFileURI(s).str(); },
		{{"file:///tmp/tmp%20dir%20%25x/", "/tmp/tmp dir %x"}, {"file:/tmp/res", "/tmp/res"},
		 {"FILE://localhost/tmp/res//", "/tmp/res"}, {"/tmp/tmp%20dir%20%25x", "/tmp/tmp dir %x"},
		 // what is no escape stays as it is
		 {"file:///tmp/100%/%zz%4", "/tmp/100%/%zz%4"}, {"file:///a/%C3%A4?#", "/a/\xC3\xA4?#"},
		 {"file:///p%5Cq/res", "/p\\q/res"}});
	const std::string odd = "/r\xC3\xA4um 1/100% #x?y=&+~";
	EXPECT_EQ(Path(odd).toFileURI(), "file:///r%C3%A4um%201/100%25%20%23x%3Fy%3D%26%2B~");
	EXPECT_EQ(Path::fromFileURI(Path(odd).toFileURI()).str(), odd);
}

TEST(Path, RefusesResourceLocationsThatNameNoLocalDirectory) {
	const auto refusal = [](const std::string & location) {
		return TestSupport::thrownAt([&] { Path::fromFileURI(location); }, "[Path::fromFileURI]");
	};
	EXPECT_EQ(refusal("http://x/dir/resources"),
			  "Resource location 'http://x/dir/resources' uses the scheme 'http'; only file URIs name local resources.");
	EXPECT_EQ(refusal("c:/dir"), "Resource location 'c:/dir' uses the scheme 'c'; only file URIs name local resources.");
	for (const char * location : {"file://localhost.example.com/dir", "file://localhostevil/dir", "file://LOCALHOST/dir",
								  "file://localhost:80/dir", "//server/share"})
		EXPECT_NE(refusal(location).find("only an empty host or 'localhost' is this machine."), std::string::npos)
			<< location;
	EXPECT_EQ(refusal("file://server/share"), "Resource location 'file://server/share' names the host 'server'; "
											  "only an empty host or 'localhost' is this machine.");
	for (const char * location : {"", "file:", "file://", "file://localhost", "resources/", "file:dir", "file:///a/../.."})
		EXPECT_EQ(refusal(location), std::string("Resource location '") + location + "' names no absolute path.");
	for (const char * location : {"file:///a%00b", "file:///a%0Ab", "/a\tb", "file:///a%7F"})
		EXPECT_EQ(refusal(location), std::string("Resource location '") + location
									 + "' holds a control character, which no local path here can keep.");
	for (const char * location : {"file:///res/a%2Fb", "/res/..%2f..%2Fetc"})
		EXPECT_EQ(refusal(location), std::string("Resource location '") + location
									 + "' holds an escaped '/' inside a name, which no local file name can hold.");
	EXPECT_EQ(refusal("file:///res%20//"), "Resource location 'file:///res%20//' ends in a blank, which no local path "
										   "here can keep.");
	EXPECT_EQ(refusal("/res /x/../y/.."), "Resource location '/res /x/../y/..' ends in a blank, which no local path "
										  "here can keep.");
}

TEST(Path, UpperCasesFirstCharacter) {
	const Path p;
	EXPECT_EQ(p.firstCharToUpperUtf8(""), "");
	EXPECT_EQ(p.firstCharToUpperUtf8("ab"), "Ab");
	EXPECT_EQ(p.remove_trailing_slash_copy("a\\"), "a\\");
	EXPECT_EQ(p.remove_trailing_slash_copy("/"), "/");
	const std::string oldLocale = std::setlocale(LC_CTYPE, nullptr);
	if (std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr) {
		EXPECT_EQ(p.firstCharToUpperUtf8("\xc3\xa4:/\xc3\xa4"), "\xc3\x84:/\xc3\xa4");
		EXPECT_EQ(p.firstCharToUpperUtf8("\xff" "abc"), "\xff" "abc");
		EXPECT_EQ(p.firstCharToUpperUtf8("\xc3"), "\xc3");
	}
	std::setlocale(LC_CTYPE, oldLocale.c_str());
}

TEST(Path, TakesParentAndFileName) {
	expectEach([](const std::string & s) { return Path(s).parentPath().str(); },
		{{"/a/b", "/a"}, {"/a", ""}, {"/", ""}, {"a", "."}, {"C:/x", "C:"}});
	EXPECT_EQ(thrown([] { Path("C:").parentPath(); }), "No parent possible. @ [Path::parentPath]");
	EXPECT_EQ(thrown([] { Path().parentPath(); }), "Invalid path: '' @ [Path::parentPath]");
	expectEach([](const std::string & s) { return Path(s).filename().str(); },
		{{"/a/b.txt", "b.txt"}, {"b.txt", "b.txt"}, {"b", "b"}, {"/", ""}, {".", ""}, {"C:", ""},
		 {"/a", "a"}, {"/ab", "ab"}, {"ab", "ab"}});
	EXPECT_EQ(thrown([] { Path().filename(); }), "Invalid path: '' @ [Path::filename]");
}

TEST(Path, HandlesExtensions) {
	expectEach([](const std::string & s) { return Path(s).extension(); },
		{{"a.tar.gz", "gz"}, {".bashrc", "bashrc"}, {"a.", ""}, {"/a.b/c", ""}, {"", ""}});
	expectEach([](const std::string & s) { return Path(s).withoutExtension().str(); },
		{{"/a.b/c", "/a.b/c"}, {"dir.x/file.txt", "dir.x/file"}, {"/home/.bashrc", "/home"}, {"a.tar.gz", "a.tar"}});
	expectEach([](const std::string & ext) { Path p("/d/f"); p.addExtension(ext); return p.str(); },
		{{"txt", "/d/f.txt"}, {".txt", "/d/f.txt"}, {" txt ", "/d/f.txt"}, {"\t.txt\r", "/d/f.txt"},
		 {"", "/d/f"}, {".", "/d/f"}, {"  ", "/d/f"}});
}

TEST(Path, CountsAndTakesBranches) {
	expectEach([](const std::string & s) { return std::to_string(Path(s).branchCount()); },
		{{"/a/b", "3"}, {"a/b", "2"}, {"a//", "1"}, {"/", "1"}, {"", "0"}, {"a//b", "3"}});
	EXPECT_EQ(Path("/a/b/c").subBranch(1, 2).str(), "a/b");
	EXPECT_EQ(Path("/a/b/c").subBranch(2, 0).str(), "b/c");
	EXPECT_EQ(Path("/a/b").subBranch(0, 2).str(), "//a");
	EXPECT_EQ(Path("x/y/z").subBranch(2, 1).str(), "z");
	EXPECT_EQ(Path("a//b").subBranch(0, 0).str(), "a//b");
	EXPECT_EQ(Path().subBranch(0, 0).str(), "");
	const std::string loc = " @ [Path::subBranch]";
	EXPECT_EQ(thrown([] { Path("/a/b").subBranch(0, 4); }), "Insufficient branches for given count." + loc);
	EXPECT_EQ(thrown([] { Path("/a/b").subBranch(3, 0); }), "Illegal index for branch start." + loc);
	EXPECT_EQ(thrown([] { Path("/a/b").subBranch(2, 2); }), "Start index or count too large." + loc);
	// "a//b" counts three components but lists only two
	EXPECT_EQ(thrown([] { Path("a//b").subBranch(1, 2); }), "Start index or count too large." + loc);
	EXPECT_EQ(thrown([] { Path().subBranch(0, 1); }), "Invalid path: ''" + loc);
}

TEST(Path, ComparesBranchesTextually) {
	EXPECT_TRUE(Path::isRootPath(Path("/a"), Path("/a/b/c")));
	EXPECT_TRUE(Path::isRootPath(Path("/a/b/c"), Path("/a")));
	EXPECT_TRUE(Path::isRootPath(Path("/a/b"), Path("/a/b")));
	EXPECT_TRUE(Path::isRootPath(Path(), Path("/a")));
	EXPECT_FALSE(Path::isRootPath(Path("/a/b"), Path("/a/c")));
	EXPECT_FALSE(Path::isRootPath(Path("/a/bc"), Path("/a/b")));
	EXPECT_FALSE(Path::isRootPath(Path("d"), Path("/tmp/d")));
}


class PathFileSystem : public ::testing::Test {
protected:
	void SetUp() override { m_oldCwd = fs::current_path().string(); }
	void TearDown() override { ASSERT_EQ(::chdir(m_oldCwd.c_str()), 0); }
	std::string at(const std::string & rel) const { return m_tmp.file(rel); }
	Path P(const std::string & rel) const { return Path(at(rel)); }
	void enter(const std::string & dir) { ASSERT_EQ(::chdir(dir.c_str()), 0); }

	// The messages as "text @ location"; each is expected to be an error of level -1.
	std::vector<std::string> errors() const {
		std::vector<std::string> lines;
		for (const TestSupport::MessageRecorder::Message & m : m_handler.m_messages) {
			if (m.m_type == ZEB::MSG_ERROR && m.m_level == -1)
				lines.push_back(m.m_text + " @ " + m.m_location);
			else
				lines.push_back("unexpected message: " + m.m_text);
		}
		return lines;
	}

	TestSupport::TempDirectory		m_tmp{"path"};
	const std::string				m_dir = m_tmp.path();
	std::string						m_oldCwd;
	TestSupport::MessageRecorder	m_handler;
};

TEST_F(PathFileSystem, ClassifiesEntries) {
	EXPECT_TRUE(Path("/").exists());
	EXPECT_TRUE(Path("/").isDirectory());
	EXPECT_FALSE(Path("/").isFile());

	writeFile(at("f"), "12345");
	fs::create_directory(at("d"));
	ASSERT_EQ(::mkfifo(at("pipe").c_str(), 0644), 0);
	fs::create_directory_symlink(at("d"), at("dlink"));
	fs::create_symlink(at("missing"), at("dangling"));
	EXPECT_EQ(Path().directoryExists(at("d") + "/"), 0);
	EXPECT_EQ(Path().directoryExists(at("f")), 1);
	EXPECT_EQ(Path().directoryExists(at("missing")), 2);
	EXPECT_TRUE(P("f").isFile());
	EXPECT_FALSE(P("f").isDirectory());
	EXPECT_TRUE(P("dlink").isDirectory());
	EXPECT_FALSE(P("missing").exists());
	EXPECT_FALSE(P("dangling").exists());
	EXPECT_TRUE(Path("/dev/null").isFile());
	EXPECT_TRUE(P("pipe").isFile());

	EXPECT_EQ(P("f").fileSize(), 5);
	EXPECT_EQ(P("d").fileSize(), -1);
	EXPECT_EQ(P("missing").fileSize(), -1);
	// a pipe without writer must not block
	EXPECT_EQ(P("pipe").fileSize(), 0);
	EXPECT_TRUE(errors().empty());
}

TEST_F(PathFileSystem, SetsModificationTimeOnly) {
	writeFile(at("f"), "x");
	struct timespec times[2] = {{1000000, 0}, {2000000, 0}};
	ASSERT_EQ(::utimensat(AT_FDCWD, at("f").c_str(), times, 0), 0);
	ASSERT_TRUE(Path::setFileTime(P("f"), 12, 30, 15, 1, 1, 2020));
	struct tm expected{};
	expected.tm_year = 120; expected.tm_mday = 1; expected.tm_isdst = -1;
	expected.tm_hour = 12; expected.tm_min = 30; expected.tm_sec = 15;
	EXPECT_EQ(P("f").lastWriteTime(), std::mktime(&expected));
	EXPECT_EQ(P("f").fileTime(), std::mktime(&expected));
	struct stat st;
	ASSERT_EQ(::stat(at("f").c_str(), &st), 0);
	EXPECT_EQ(st.st_atime, 1000000);

	EXPECT_EQ(P("missing").lastWriteTime(), 0);
	EXPECT_FALSE(Path::setFileTime(P("missing"), 0, 0, 0, 1, 1, 2020));
	EXPECT_EQ(errors(), std::vector<std::string>({"Cannot set file time to " + at("missing") +
		", some component of the path doesn't exist! @ [Path::setFileTime]"}));
}

TEST_F(PathFileSystem, MakesAbsoluteAgainstWorkingDirectory) {
	fs::create_directory(at("w"));
	EXPECT_TRUE(Path::setCurrent(P("w")));
	EXPECT_FALSE(Path::setCurrent(P("missing")));
	EXPECT_EQ(Path::current().str(), at("w"));
	EXPECT_TRUE(Path::isRootPath(P("w/x/y")));
	EXPECT_FALSE(Path::isRootPath(Path("/elsewhere")));
	expectEach([](const std::string & s) { return Path(s).absolutePath().str(); },
		{{"x/../y", at("w/y")}, {"./x", at("w/x")}, {".", at("w")}, {"../x", at("x")}, {"/a/b/../c", "/a/c"},
		 {"/a/b/..", "/a/b/.."}, {"{Project}/x", "{Project}/x"}, {"", ""}});
	EXPECT_TRUE(errors().empty());

	// the process may stay in a removed directory; getcwd then fails
	ASSERT_EQ(::rmdir(at("w").c_str()), 0);
	EXPECT_FALSE(Path::current().isValid());
	EXPECT_FALSE(Path("x").absolutePath().isValid());
	EXPECT_EQ(Path("/abs").absolutePath().str(), "/abs");
	ASSERT_EQ(errors().size(), 2u);
	EXPECT_EQ(errors()[0], "Couldn't deduce user directory.  @ [current()]");
}

TEST_F(PathFileSystem, MakesPathWithAllParents) {
	enter(m_dir);
	EXPECT_TRUE(Path::makePath(Path("a/b/c")));
	EXPECT_TRUE(fs::is_directory(at("a")));
	EXPECT_TRUE(fs::is_directory(at("a/b/c")));
	EXPECT_TRUE(Path::makePath(P("x//y/z/")));
	EXPECT_TRUE(fs::is_directory(at("x/y/z")));
	EXPECT_TRUE(Path::makePath(P("a/b")));
	writeFile(at("f"), "");
	EXPECT_FALSE(Path::makePath(P("f")));
	EXPECT_FALSE(Path::makePath(P("f/sub/dir")));
	EXPECT_FALSE(Path::makePath(Path()));
	EXPECT_TRUE(errors().empty());
}

TEST_F(PathFileSystem, RemovesTreesWithoutFollowingLinks) {
	EXPECT_TRUE(Path::remove(P("missing")));
	EXPECT_FALSE(Path::remove(Path()));
	EXPECT_TRUE(fs::exists(m_dir));

	fs::create_directories(at("outside/keep"));
	writeFile(at("outside/file"), "stay");
	fs::create_directories(at("tree/sub"));
	writeFile(at("tree/sub/f"), "x");
	fs::create_directory_symlink(at("outside"), at("tree/sub/link"));
	fs::create_symlink(at("nowhere"), at("tree/dangling"));
	EXPECT_TRUE(Path::remove(P("tree")));
	EXPECT_FALSE(fs::exists(fs::symlink_status(at("tree"))));
	EXPECT_EQ(readFile(at("outside/file")), "stay");
	EXPECT_TRUE(fs::is_directory(at("outside/keep")));
	fs::create_directory_symlink(at("outside"), at("dirlink"));
	EXPECT_TRUE(Path::remove(P("dirlink")));
	EXPECT_FALSE(fs::exists(fs::symlink_status(at("dirlink"))));
	EXPECT_TRUE(fs::exists(at("outside/file")));

	const std::string odd = at("we\"ird $HOME `x` 'q'");
	fs::create_directory(odd);
	writeFile(odd + "/a\\b", "");
	writeFile(odd + "/$(ls) \"", "");
	EXPECT_TRUE(Path::remove(Path(odd)));
	EXPECT_FALSE(fs::exists(odd));
	writeFile(at("f \"$x` b"), "");
	EXPECT_TRUE(Path::remove(P("f \"$x` b")));
	EXPECT_FALSE(fs::exists(at("f \"$x` b")));
	EXPECT_TRUE(errors().empty());
}

TEST_F(PathFileSystem, RemoveNeverChangesTheWorkingDirectory) {
	fs::create_directories(at("a/b"));
	enter(at("a/b"));
	struct stat before, after;
	ASSERT_EQ(::stat(".", &before), 0);
	EXPECT_TRUE(Path::remove(P("a")));
	EXPECT_FALSE(fs::exists(at("a")));
	// the process stays in its now removed directory
	ASSERT_EQ(::stat(".", &after), 0);
	EXPECT_EQ(after.st_ino, before.st_ino);
	EXPECT_EQ(after.st_dev, before.st_dev);
}

TEST_F(PathFileSystem, MovesReplacingTarget) {
	writeFile(at("f"), "one");
	writeFile(at("g"), "two");
	EXPECT_TRUE(Path::move(P("f"), P("g")));
	EXPECT_FALSE(fs::exists(at("f")));
	EXPECT_EQ(readFile(at("g")), "one");
	fs::create_directories(at("d/sub"));
	writeFile(at("d/sub/x"), "x");
	EXPECT_TRUE(Path::move(P("g"), P("d")));
	EXPECT_EQ(readFile(at("d")), "one");

	EXPECT_FALSE(Path::move(P("d"), P("nodir/d")));
	EXPECT_TRUE(fs::exists(at("d")));
	EXPECT_EQ(errors(), std::vector<std::string>({"Cannot move to " + at("nodir/d") +
		", some component of the path doesn't exist! @ [Path::move]"}));
}

TEST_F(PathFileSystem, MoveOfAMissingSourceKeepsTheTarget) {
	writeFile(at("target"), "keep");
	fs::create_directories(at("dir/sub"));
	EXPECT_FALSE(Path::move(P("missing"), P("target")));
	EXPECT_FALSE(Path::move(P("missing"), P("dir")));
	EXPECT_EQ(readFile(at("target")), "keep");
	EXPECT_TRUE(fs::is_directory(at("dir/sub")));
	EXPECT_EQ(errors(), std::vector<std::string>({
		"Cannot move to " + at("target") + ", some component of the path doesn't exist! @ [Path::move]",
		"Cannot move to " + at("dir") + ", some component of the path doesn't exist! @ [Path::move]"}));
	// nothing left aside
	EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2);
}

TEST_F(PathFileSystem, MoveTakesARelativeSourceFromTheWorkingDirectoryInsideTheTarget) {
	fs::create_directories(at("root/target"));
	writeFile(at("root/s.txt"), "wanted");
	writeFile(at("s.txt"), "unrelated");
	enter(at("root/target"));
	EXPECT_TRUE(Path::move(Path("../s.txt"), P("root/target")));
	EXPECT_EQ(readFile(at("root/target")), "wanted");
	EXPECT_FALSE(fs::exists(at("root/s.txt")));
	EXPECT_EQ(readFile(at("s.txt")), "unrelated");
	EXPECT_EQ(std::distance(fs::directory_iterator(at("root")), fs::directory_iterator()), 1);
	EXPECT_TRUE(errors().empty());
}

TEST_F(PathFileSystem, MovesAcrossFileSystemsByCopyingWhole) {
	std::string pattern = "/dev/shm/pathXXXXXX";
	if (::mkdtemp(&pattern[0]) == nullptr)
		GTEST_SKIP() << "no /dev/shm";
	struct Cleanup { std::string dir; ~Cleanup() { std::error_code ec; fs::remove_all(dir, ec); } } cleanup{pattern};
	struct stat here, there;
	ASSERT_EQ(::stat(m_dir.c_str(), &here), 0);
	ASSERT_EQ(::stat(pattern.c_str(), &there), 0);
	if (here.st_dev == there.st_dev)
		GTEST_SKIP() << "/dev/shm is on the file system of " << m_dir;
	const std::string other = pattern;

	// a file replacing a target, with its permission bits
	writeFile(other + "/f", "file");
	ASSERT_EQ(::chmod((other + "/f").c_str(), 0640), 0);
	writeFile(at("f"), "old");
	EXPECT_TRUE(Path::move(Path(other + "/f"), P("f")));
	EXPECT_EQ(readFile(at("f")), "file");
	EXPECT_EQ(fs::status(at("f")).permissions() & fs::perms::all, fs::perms(0640));
	EXPECT_FALSE(fs::exists(other + "/f"));

	// a tree with a link, replacing a directory
	fs::create_directories(other + "/tree/sub");
	writeFile(other + "/tree/sub/g", "g");
	fs::create_symlink("sub/g", other + "/tree/link");
	fs::create_directories(at("tree/old"));
	EXPECT_TRUE(Path::move(Path(other + "/tree"), P("tree")));
	EXPECT_EQ(readFile(at("tree/sub/g")), "g");
	EXPECT_EQ(fs::read_symlink(at("tree/link")), "sub/g");
	EXPECT_FALSE(fs::exists(at("tree/old")));
	EXPECT_FALSE(fs::exists(other + "/tree"));

	// a tree that cannot be copied whole stays, and so does the target
	fs::create_directories(other + "/odd");
	writeFile(other + "/odd/a", "a");
	ASSERT_EQ(::mkfifo((other + "/odd/pipe").c_str(), 0600), 0);
	EXPECT_FALSE(Path::move(Path(other + "/odd"), P("f")));
	EXPECT_EQ(readFile(at("f")), "file");
	EXPECT_EQ(readFile(other + "/odd/a"), "a");
	EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2);
	ASSERT_EQ(errors().size(), 1u);
	EXPECT_EQ(errors()[0].rfind("Cannot move " + other + "/odd to " + at("f") + " on another file system: ", 0), 0u);
}

TEST_F(PathFileSystem, MoveRefusesSameOrNestedEntries) {
	fs::create_directories(at("d/sub"));
	writeFile(at("d/sub/x"), "x");
	writeFile(at("f"), "data");
	fs::create_hard_link(at("f"), at("hard"));
	fs::create_symlink(at("f"), at("soft"));
	EXPECT_FALSE(Path::move(P("d"), P("d/sub")));
	EXPECT_FALSE(Path::move(P("d/sub"), P("d")));
	EXPECT_FALSE(Path::move(P("d"), P("d")));
	EXPECT_EQ(readFile(at("d/sub/x")), "x");
	EXPECT_FALSE(Path::move(P("f"), P("hard")));
	EXPECT_FALSE(Path::move(P("f"), P("soft")));
	EXPECT_FALSE(Path::move(P("soft"), P("f")));
	EXPECT_EQ(readFile(at("f")), "data");
	EXPECT_EQ(readFile(at("hard")), "data");
	EXPECT_TRUE(fs::is_symlink(at("soft")));

	enter(at("d/sub"));
	EXPECT_FALSE(Path::move(P("d"), P("e")));
	EXPECT_TRUE(fs::exists(at("d/sub/x")));
	EXPECT_FALSE(fs::exists(at("e")));

	// only the working directory's own branch is kept: standing above the source is no reason
	for (const std::string & place : {std::string("/"), m_dir, at("d")}) {
		enter(place);
		EXPECT_TRUE(Path::move(P("d/sub/x"), P("d/sub/y"))) << place;
		EXPECT_TRUE(Path::move(P("d/sub/y"), P("d/sub/x"))) << place;
	}
	enter("/");
	EXPECT_TRUE(Path::move(P("d"), P("e")));
	EXPECT_EQ(readFile(at("e/sub/x")), "x");
}

TEST_F(PathFileSystem, CopiesFiles) {
	const std::string content("bin\0ary", 7);
	fs::create_directory(at("d"));
	writeFile(at("f"), content);
	EXPECT_TRUE(Path::copy(P("f"), P("d")));
	EXPECT_EQ(readFile(at("d/f")), content);
	writeFile(at("g"), "a much longer old content");
	EXPECT_TRUE(Path::copy(P("f"), P("g")));
	EXPECT_EQ(readFile(at("g")), content);
	writeFile(at("empty"), "");
	writeFile(at("old"), "old");
	EXPECT_TRUE(Path::copy(P("empty"), P("old")));
	EXPECT_TRUE(fs::exists(at("old")));
	EXPECT_EQ(readFile(at("old")), "");
	EXPECT_FALSE(Path::copy(P("missing"), P("h")));
	EXPECT_FALSE(fs::exists(at("h")));

	// a socket exists but cannot be opened, even by root
	const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
	ASSERT_GE(fd, 0);
	struct sockaddr_un addr{};
	addr.sun_family = AF_UNIX;
	ASSERT_LT(at("sock").size(), sizeof(addr.sun_path));
	at("sock").copy(addr.sun_path, at("sock").size());
	ASSERT_EQ(::bind(fd, reinterpret_cast<struct sockaddr *>(&addr), sizeof(addr)), 0);
	EXPECT_FALSE(Path::copy(P("sock"), P("g")));
	::close(fd);
	EXPECT_EQ(readFile(at("g")), content);
}

TEST_F(PathFileSystem, CopiesAndMergesTrees) {
	fs::create_directories(at("src/sub"));
	writeFile(at("src/a"), "a");
	writeFile(at("src/sub/b"), "b");
	fs::create_directory(at("dst"));
	writeFile(at("dst/x"), "x");
	EXPECT_TRUE(Path::copy(P("src"), P("dst")));
	EXPECT_EQ(readFile(at("dst/a")), "a");
	EXPECT_EQ(readFile(at("dst/sub/b")), "b");
	EXPECT_EQ(readFile(at("dst/x")), "x");
	EXPECT_FALSE(fs::exists(at("dst/src")));

	EXPECT_TRUE(Path::copy(P("src"), P("fresh")));
	EXPECT_EQ(readFile(at("fresh/sub/b")), "b");
	EXPECT_FALSE(Path::copy(P("src"), P("dst/x")));
	EXPECT_FALSE(Path::copy(P("src"), P("no/parent")));
	EXPECT_FALSE(fs::exists(at("no")));
}

TEST_F(PathFileSystem, CopyRefusesSameBranch) {
	fs::create_directories(at("d/sub"));
	writeFile(at("d/f"), "f");
	EXPECT_FALSE(Path::copy(P("d"), P("d/sub")));
	EXPECT_FALSE(Path::copy(P("d"), P("d/new")));
	EXPECT_FALSE(Path::copy(P("d/f"), P("d")));
	EXPECT_FALSE(Path::copy(P("d/sub"), P("d")));
	enter(m_dir);
	EXPECT_FALSE(Path::copy(Path("d"), P("d/new")));
	EXPECT_FALSE(Path::copy(P("d"), Path("d/new")));
	EXPECT_FALSE(fs::exists(at("d/new")));
	EXPECT_FALSE(fs::exists(at("d/sub/sub")));
	EXPECT_EQ(readFile(at("d/f")), "f");
}

TEST_F(PathFileSystem, NeverRemovesParentsOrItsOwnPlace) {
	fs::create_directories(at("keep/sub"));
	std::ofstream(at("keep/file")) << "x";
	enter(at("keep"));
	EXPECT_FALSE(Path::remove(P("keep/sub/.."), false));
	EXPECT_FALSE(Path::remove(Path("."), false));
	EXPECT_FALSE(Path::remove(Path(".."), false));
	EXPECT_TRUE(fs::exists(at("keep/sub")));
	EXPECT_TRUE(fs::exists(at("keep/file")));

	// a relative path names the entry below the working directory, also after a change of it
	EXPECT_TRUE(Path::remove(Path("sub"), false));
	EXPECT_FALSE(fs::exists(at("keep/sub")));
	EXPECT_TRUE(fs::exists(at("keep/file")));
}

TEST_F(PathFileSystem, MoveAndCopyRefuseOneEntryThroughLinks) {
	fs::create_directories(at("real/sub"));
	std::ofstream(at("real/sub/f")) << "data";
	fs::create_directory_symlink(at("real"), at("link"));
	// the target contains the source, seen through the link
	EXPECT_FALSE(Path::move(P("link/sub"), P("real")));
	EXPECT_TRUE(fs::exists(at("real/sub/f")));
	EXPECT_FALSE(Path::copy(P("link"), P("real/sub/copy")));

	// a file onto itself (through a hard link) is refused and keeps its content
	fs::create_hard_link(at("real/sub/f"), at("hard"));
	EXPECT_FALSE(Path::copy(P("real/sub/f"), P("hard")));
	EXPECT_FALSE(Path::copy(P("real/sub/f"), P("link/sub")));
	std::ifstream in(at("real/sub/f"));
	std::string text;
	in >> text;
	EXPECT_EQ(text, "data");

	// only regular files are copied: a named pipe would block
	ASSERT_EQ(::mkfifo(at("pipe").c_str(), 0600), 0);
	EXPECT_FALSE(Path::copy(P("pipe"), P("pipecopy")));
	EXPECT_FALSE(fs::exists(at("pipecopy")));
}
