#include <gtest/gtest.h>

#include <map>
#include <string>

#include "TestSupport.h"
#include "ZEB_Path.h"
#include "ZEB_PathPlaceholders.h"

using TestSupport::thrown;
using ZEB::Path;

namespace {

typedef std::map<std::string, Path> Table;

std::string replaced(const std::string & text, const Table & table) {
	return Path(text).withReplacedPlaceholders(table).str();
}

std::string replaceError(const std::string & text, const Table & table) {
	return thrown([&]() { Path(text).withReplacedPlaceholders(table); });
}

const std::string UNKNOWN = "Unknown or undefined path placeholder '";
const std::string UNKNOWN_LOC = " @ [Project::replacePlaceHolders]";

} // namespace


TEST(PathPlaceholders, RecognisesBracketsAndNames) {
	EXPECT_EQ(ZEB::placeholderBrackets("${A}/x"), std::make_pair('{', '}'));
	EXPECT_EQ(ZEB::placeholderBrackets("$(A)/x"), std::make_pair('(', ')'));
	EXPECT_EQ(ZEB::placeholderBrackets("${A}/$(B)"), std::make_pair('(', ')'));
	EXPECT_EQ(ZEB::placeholderBrackets("(a)/x"), std::make_pair('\0', '\0'));
	EXPECT_TRUE(Path("a{b}c").hasPlaceholder());
	EXPECT_FALSE(Path("$(x").hasPlaceholder());

	EXPECT_EQ(Path("${Project Directory}/x").placeholderString(), "Project Directory");
	EXPECT_EQ(Path("$(A)/x").placeholderString(), "A");
	EXPECT_EQ(Path("/plain/x").placeholderString(), "");
	EXPECT_EQ(Path("}{").placeholderString(), "");
	EXPECT_STREQ(ZEB::PLACEHOLDER_PROJECT_DIR, "Project Directory");
}


TEST(PathPlaceholders, InsertsAndExtractsLeadingPlaceholders) {
	Path p("/home/u/data");
	EXPECT_TRUE(p.insertPlaceholder("P", Path("/home/u")));
	EXPECT_EQ(p.str(), "${P}/data");
	Path other("/other/x");
	EXPECT_FALSE(other.insertPlaceholder("P", Path("/home/u")));
	EXPECT_EQ(other.str(), "/other/x");
	// only whole components match; an exact match is the placeholder alone
	Path longer("/home/user/x");
	EXPECT_FALSE(longer.insertPlaceholder("P", Path("/home/u")));
	EXPECT_EQ(longer.str(), "/home/user/x");
	Path exact("/home/u");
	EXPECT_TRUE(exact.insertPlaceholder("P", Path("/home/u")));
	EXPECT_EQ(exact.str(), "${P}");
	Path fromRoot("/etc/x");
	EXPECT_TRUE(fromRoot.insertPlaceholder("R", Path("/")));
	EXPECT_EQ(fromRoot.str(), "${R}/etc/x");
	EXPECT_FALSE(fromRoot.insertPlaceholder("E", Path()));

	std::string name;
	Path rel;
	EXPECT_TRUE(Path("${P}/data/x").extractPlaceholder(name, rel));
	EXPECT_EQ(name, "P");
	EXPECT_EQ(rel.str(), "data/x");
	EXPECT_FALSE(Path("/plain").extractPlaceholder(name, rel));
	EXPECT_EQ(name, "");
	EXPECT_EQ(rel.str(), "/plain");
	EXPECT_TRUE(Path("${P}").extractPlaceholder(name, rel));
	EXPECT_EQ(name, "P");
	EXPECT_EQ(rel.str(), "");
	EXPECT_FALSE(Path("${}/x").extractPlaceholder(name, rel));
}


TEST(PathPlaceholders, ReplacesWholeComponentsRepeatedly) {
	EXPECT_EQ(replaced("${Project Directory}/data/x.txt", {{"Project Directory", Path("/home/u/proj")}}),
			  "/home/u/proj/data/x.txt");
	EXPECT_EQ(replaced("/base/${data}/f", {{"data", Path("sub/dir")}}), "/base/sub/dir/f");
	EXPECT_EQ(replaced("/${data}/f", {{"data", Path("sub")}}), "/sub/f");
	EXPECT_EQ(replaced("${A}/x", {{"A", Path("${B}/y")}, {"B", Path("/b")}}), "/b/y/x");
	EXPECT_EQ(replaced("$(A)/x", {{"A", Path("/a")}}), "/a/x");
	EXPECT_EQ(replaced("${A}/./x", {{"A", Path("a")}}), "a/x");
	EXPECT_EQ(replaced("/plain//x/", {{"A", Path("/a")}}), "/plain//x");
	// an entry without path fails only when used
	EXPECT_EQ(replaced("${A}/x", {{"A", Path("/a")}, {"E", Path()}}), "/a/x");
	EXPECT_EQ(replaceError("${E}/x", {{"E", Path()}}),
			  "Path for placeholder 'E' is empty. @ [Path::withReplacedPlaceholders]");
}


TEST(PathPlaceholders, RefusesUnresolvablePlaceholders) {
	EXPECT_EQ(replaceError("/base/${A}/f", {{"A", Path("/abs")}}),
			  "Cannot add absolute path '/abs' (from replacing placeholder '${A}') to path part '/base'."
			  " @ [Path::withReplacedPlaceholders]");
	EXPECT_EQ(replaceError("${Other}/x", {{"A", Path("/a")}}),
			  UNKNOWN + "${Other}'. Known placeholders are:\n${A} = /a" + UNKNOWN_LOC);
	EXPECT_EQ(replaceError("/data/${A}.txt", {{"A", Path("/a")}, {"B", Path("/b")}}),
			  UNKNOWN + "${A}'. Known placeholders are:\n${A} = /a\n${B} = /b" + UNKNOWN_LOC);
	EXPECT_EQ(replaceError("/data/${A", {{"A", Path("/a")}}), "nothing thrown");
	EXPECT_EQ(replaceError("x}/${A", {{"A", Path("/a")}}),
			  UNKNOWN + "${A'. Known placeholders are:\n${A} = /a" + UNKNOWN_LOC);

	// entries that lead back to themselves end instead of replacing forever
	EXPECT_EQ(replaceError("${A}/x", {{"A", Path("${A}")}}),
			  UNKNOWN + "${A}'. Known placeholders are:\n${A} = ${A}" + UNKNOWN_LOC);
	EXPECT_EQ(replaceError("${A}/x", {{"A", Path("${B}/a")}, {"B", Path("${A}/b")}}).substr(0, UNKNOWN.size() + 2),
			  UNKNOWN + "${");
}


TEST(PathPlaceholders, ExpressesPathsRelativeToOthers) {
	EXPECT_EQ(Path("/a/b/file").relativePath(Path("/a/c")).str(), "../b/file");
	EXPECT_EQ(Path("/a/b/c").relativePath(Path("/a")).str(), "b/c");
	EXPECT_EQ(Path("/a").relativePath(Path("/a/b/c")).str(), "../..");
	EXPECT_EQ(Path("/x").relativePath(Path("/")).str(), "x");
	EXPECT_EQ(Path("/a/b").relativePath(Path("/a/b")).str(), "/a/b");
	EXPECT_EQ(Path("/x/y").relativePath(Path("/a/b")).str(), "../../x/y");
	EXPECT_EQ(Path("/a//b/f").relativePath(Path("/a")).str(), "b/f");

	EXPECT_EQ(thrown([]() { Path("/a").relativePath(Path()); }),
			  "Other path argument is an empty/invalid path. @ [Path::relativePath]");
	EXPECT_EQ(thrown([]() { Path().relativePath(Path("/a")); }), "Empty/invalid path. @ [Path::relativePath]");
	EXPECT_EQ(thrown([]() { Path("C:/a").relativePath(Path("D:/b")); }), "Different drives. @ [Path::relativePath]");

	std::string errmsg = "untouched";
	EXPECT_TRUE(Path("/a/b").canCreateRelativePath(Path("/c"), errmsg));
	EXPECT_EQ(errmsg, "untouched");
	EXPECT_FALSE(Path("/a").canCreateRelativePath(Path(""), errmsg));
	EXPECT_EQ(errmsg, "Other path argument is an empty/invalid path.");
}
