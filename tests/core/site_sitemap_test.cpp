#include <errno.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <cstring>
#include <string>
#include <vector>

#include "site_test_support.hpp"
#include "test_support.hpp"
#include "zoret/site/sitemap.hpp"

namespace zoret::site {
namespace {

using testing::count_of;
using testing::read_file;
using testing::ScratchDir;

constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\""
    " xmlns:xhtml=\"http://www.w3.org/1999/xhtml\""
    " xmlns:image=\"http://www.google.com/schemas/sitemap-image/1.1\">\n";
constexpr std::string_view kClose = "</urlset>\n";

UrlResolver resolver() { return UrlResolver(testing::site()); }

// "/p/1", "/p/2", ...: every entry line has the same length for numbers of the
// same width, which the byte-limit rows rely on.
std::string route(std::size_t n) { return "/p/" + std::to_string(n); }
std::string line(std::size_t n) {
  return "<url><loc>https://example.com" + route(n) + "</loc></url>\n";
}

Result<SitemapReport> write_routes(const std::string& dir, std::size_t first, std::size_t last,
                                   const SitemapOptions& options = {}) {
  auto writer = SitemapWriter::create(dir, resolver(), options);
  if (!writer) return writer.error();
  for (std::size_t n = first; n <= last; ++n) {
    if (auto r = writer->add(route(n)); !r) return r.error();
  }
  return writer->finish();
}

TEST(SitemapWriter, WritesOneUrlsetWithEveryKindOfEntry) {
  ScratchDir dir;
  auto writer = SitemapWriter::create(dir.path(), resolver());
  ASSERT_TRUE(writer) << writer.error().display();

  const std::vector<LanguageAlternate> alternates = {
      {"en", "/"}, {"de-de", "/de/"}, {"x-default", "https://old.example/?utm_source=x"}};
  const std::vector<std::string> images = {"https://cdn.example.net/a b.jpg#frag",
                                           "/media/logo.png"};
  SitemapEntry home;
  home.route = "/";
  home.lastmod = "2024-05-06T07:08+02:00";
  home.alternates = alternates;
  home.images = images;
  ASSERT_TRUE(writer->add(home));
  SitemapEntry post;
  post.route = "/blog/caf\xC3\xA9?utm_source=x&page=2&sort='new'";
  post.lastmod = "2024";
  ASSERT_TRUE(writer->add(post));

  auto report = writer->finish();
  ASSERT_TRUE(report) << report.error().display();
  EXPECT_EQ(report->written, std::vector<std::string>{dir.file("sitemap.xml")});
  EXPECT_TRUE(report->removed.empty());
  EXPECT_EQ(report->url_count, 2u);
  EXPECT_EQ(dir.names(), std::vector<std::string>{"sitemap.xml"});
  EXPECT_EQ(
      read_file(dir.file("sitemap.xml")),
      std::string(kHeader) +
          "<url><loc>https://example.com/</loc><lastmod>2024-05-06T07:08:00+02:00</lastmod>"
          "<xhtml:link rel=\"alternate\" hreflang=\"en\" href=\"https://example.com/\"/>"
          "<xhtml:link rel=\"alternate\" hreflang=\"de-DE\" href=\"https://example.com/de\"/>"
          "<xhtml:link rel=\"alternate\" hreflang=\"x-default\" href=\"https://example.com/\"/>"
          "<image:image><image:loc>https://cdn.example.net/a%20b.jpg</image:loc></image:image>"
          "<image:image><image:loc>https://example.com/media/logo.png</image:loc></image:image>"
          "</url>\n"
          "<url><loc>https://example.com/blog/caf%C3%A9?page=2&amp;sort=&apos;new&apos;</loc>"
          "<lastmod>2024-01-01</lastmod></url>\n" +
          std::string(kClose));
}

// Pages follow the trailing-slash rule; image files never become directories.
TEST(SitemapWriter, ImageRoutesStayFilesUnderTheTrailingSlashRule) {
  ScratchDir dir;
  SEOConfig config = testing::site();
  config.url_policy.trailing_slash = TrailingSlash::Always;
  auto writer = SitemapWriter::create(dir.path(), UrlResolver(config));
  ASSERT_TRUE(writer) << writer.error().display();
  const std::vector<std::string> images = {"/media/logo.png"};
  SitemapEntry page;
  page.route = "/about";
  page.images = images;
  ASSERT_TRUE(writer->add(page));
  ASSERT_TRUE(writer->finish());
  EXPECT_EQ(read_file(dir.file("sitemap.xml")),
            std::string(kHeader) +
                "<url><loc>https://example.com/about/</loc><image:image><image:loc>"
                "https://example.com/media/logo.png</image:loc></image:image></url>\n" +
                std::string(kClose));
}

TEST(SitemapWriter, SplitsAtTheUrlAndByteLimits) {
  const std::size_t entry = line(1).size();
  const std::size_t frame = kHeader.size() + kClose.size();
  struct Row {
    std::size_t max_urls;
    std::size_t max_bytes;
    std::size_t entries;
    std::vector<std::size_t> urls_per_file;
  };
  const std::vector<Row> rows = {
      {3, kMaxSitemapBytes, 3, {3}},
      {3, kMaxSitemapBytes, 4, {3, 1}},
      {3, kMaxSitemapBytes, 6, {3, 3}},
      {3, kMaxSitemapBytes, 7, {3, 3, 1}},
      {1, kMaxSitemapBytes, 3, {1, 1, 1}},
      // The closing tag counts: exactly four entries fit, one byte less holds three.
      {100, frame + 4 * entry, 5, {4, 1}},
      {100, frame + 4 * entry - 1, 5, {3, 2}},
      {100, frame + entry, 2, {1, 1}},
      // Whichever limit comes first.
      {2, frame + 4 * entry, 5, {2, 2, 1}},
  };
  for (const Row& row : rows) {
    ScratchDir dir;
    SitemapOptions options;
    options.max_urls_per_file = row.max_urls;
    options.max_bytes_per_file = row.max_bytes;
    auto report = write_routes(dir.path(), 1, row.entries, options);
    ASSERT_TRUE(report) << report.error().display();
    const std::size_t files = row.urls_per_file.size();
    ASSERT_EQ(report->written.size(), files == 1 ? 1 : files + 1)
        << row.max_urls << "/" << row.max_bytes;
    std::size_t next = 1;
    for (std::size_t i = 0; i < files; ++i) {
      const std::string name =
          files == 1 ? "sitemap.xml" : "sitemap-" + std::to_string(i + 1) + ".xml";
      EXPECT_EQ(report->written[files == 1 ? 0 : i + 1], dir.file(name));
      std::string expected(kHeader);
      for (std::size_t k = 0; k < row.urls_per_file[i]; ++k) expected += line(next++);
      expected += kClose;
      const std::string text = read_file(dir.file(name));
      EXPECT_EQ(text, expected) << name;
      EXPECT_LE(text.size(), row.max_bytes);
    }
  }
}

TEST(SitemapWriter, IndexListsTheFilesUnderThePublicPath) {
  ScratchDir dir;
  SEOConfig config = testing::site();
  config.public_base_url = "https://example.com/app";
  config.url_policy.trailing_slash = TrailingSlash::Always;
  SitemapOptions options;
  options.max_urls_per_file = 2;
  options.public_path = "/static/maps";
  options.basename = "pages";
  auto writer = SitemapWriter::create(dir.path(), UrlResolver(config), options);
  ASSERT_TRUE(writer);
  for (const char* r : {"/a", "/b", "/c"}) ASSERT_TRUE(writer->add(r));
  auto report = writer->finish();
  ASSERT_TRUE(report) << report.error().display();
  EXPECT_EQ(report->written,
            (std::vector<std::string>{dir.file("pages.xml"), dir.file("pages-1.xml"),
                                      dir.file("pages-2.xml")}));
  EXPECT_EQ(read_file(dir.file("pages.xml")),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n"
            "<sitemap><loc>https://example.com/app/static/maps/pages-1.xml</loc></sitemap>\n"
            "<sitemap><loc>https://example.com/app/static/maps/pages-2.xml</loc></sitemap>\n"
            "</sitemapindex>\n");
  EXPECT_NE(read_file(dir.file("pages-2.xml")).find("<loc>https://example.com/app/c/</loc>"),
            std::string::npos);
}

TEST(SitemapWriter, GzipFilesHoldThePlainBytes) {
  ScratchDir plain;
  ScratchDir packed;
  SitemapOptions options;
  options.max_urls_per_file = 700;
  ASSERT_TRUE(write_routes(plain.path(), 1, 1500, options));
  options.gzip = true;
  options.gzip_level = 1;
  auto report = write_routes(packed.path(), 1, 1500, options);
  ASSERT_TRUE(report) << report.error().display();
  EXPECT_EQ(packed.names(), (std::vector<std::string>{"sitemap-1.xml.gz", "sitemap-2.xml.gz",
                                                      "sitemap-3.xml.gz", "sitemap.xml.gz"}));
  for (const std::string name :
       {"sitemap-1.xml", "sitemap-2.xml", "sitemap-3.xml", "sitemap.xml"}) {
    std::string expected = read_file(plain.file(name));
    if (name == "sitemap.xml") {
      for (const char* n : {"1", "2", "3"}) {
        const std::string file = std::string("sitemap-") + n + ".xml";
        expected.replace(expected.find(file), file.size(), file + ".gz");
      }
    }
    EXPECT_EQ(testing::gunzip(read_file(packed.file(name + ".gz"))), expected) << name;
  }
}

TEST(SitemapWriter, RemovesStaleFilesOfTheSetOnlyAfterTheNewOneIsInPlace) {
  ScratchDir dir;
  const std::vector<std::string> old = {"sitemap-1.xml",  "sitemap-2.xml", "sitemap-3.xml",
                                        "sitemap-12.xml", "sitemap.xml",   "sitemap.xml.gz"};
  const std::vector<std::string> foreign = {"sitemap-01.xml", "sitemap-x.xml", "sitemap-1.xml.bak",
                                            "sitemaps.xml", "robots.txt"};
  for (const auto& name : old) testing::write_file(dir.file(name), "old");
  for (const auto& name : foreign) testing::write_file(dir.file(name), "keep");

  SitemapOptions options;
  options.max_urls_per_file = 1;
  auto report = write_routes(dir.path(), 1, 2, options);
  ASSERT_TRUE(report) << report.error().display();
  EXPECT_EQ(report->removed,
            (std::vector<std::string>{dir.file("sitemap-12.xml"), dir.file("sitemap-3.xml"),
                                      dir.file("sitemap.xml.gz")}));
  EXPECT_EQ(dir.names(), (std::vector<std::string>{
                             "robots.txt", "sitemap-01.xml", "sitemap-1.xml", "sitemap-1.xml.bak",
                             "sitemap-2.xml", "sitemap-x.xml", "sitemap.xml", "sitemaps.xml"}));
  for (const auto& name : foreign) EXPECT_EQ(read_file(dir.file(name)), "keep");

  // A single file replaces the index and every numbered file goes.
  report = write_routes(dir.path(), 1, 1);
  ASSERT_TRUE(report);
  EXPECT_EQ(report->removed,
            (std::vector<std::string>{dir.file("sitemap-1.xml"), dir.file("sitemap-2.xml")}));
  EXPECT_EQ(read_file(dir.file("sitemap.xml")),
            std::string(kHeader) + line(1) + std::string(kClose));
}

TEST(SitemapWriter, RefusesBadEntriesByNameAndKeepsGoing) {
  struct Row {
    SitemapEntry entry;
    ErrorKind kind;
    std::string message;
  };
  static const std::vector<LanguageAlternate> kOthers = {{"de", "/de"}, {"fr", "/fr"}};
  static const std::vector<LanguageAlternate> kBadTag = {{"en", "/x"}, {"en_GB", "/gb"}};
  static const std::vector<std::string> kFtp = {"/ok.png", "ftp://example.com/a.png"};
  static const std::vector<std::string> kMany(1001, "/i.png");
  static const std::string kLongRoute = "/" + std::string(2100, 'a');
  const auto entry = [](std::string_view r, std::optional<std::string_view> lastmod = {},
                        std::span<const LanguageAlternate> alt = {},
                        std::span<const std::string> images = {}) {
    SitemapEntry e;
    e.route = r;
    e.lastmod = lastmod;
    e.alternates = alt;
    e.images = images;
    return e;
  };
  const std::vector<Row> rows = {
      {entry("/x", "2023-02-29"), ErrorKind::InvalidEntity,
       "sitemap entry 1 (\"/x\"): lastmod \"2023-02-29\": day 29 does not exist in February 2023"},
      {entry("/x", {}, kOthers), ErrorKind::InvalidEntity,
       "sitemap entry 2 (\"/x\"): the alternates do not include the page itself "
       "(\"https://example.com/x\"); add it, or turn the check off"},
      {entry("/x", {}, kBadTag), ErrorKind::InvalidEntity,
       "sitemap entry 3 (\"/x\"): invalid language tag \"en_GB\": only ASCII letters, digits and "
       "\"-\" "
       "may appear in a tag"},
      {entry("/x", {}, {}, kFtp), ErrorKind::InvalidUrl,
       "sitemap entry 4 (\"/x\"): image 2: image URL must use http or https: "
       "\"ftp://example.com/a.png\""},
      {entry("/x", {}, {}, kMany), ErrorKind::InvalidEntity,
       "sitemap entry 5 (\"/x\"): a page may list at most 1000 images, not 1001"},
      {entry("/a\nb"), ErrorKind::InvalidUrl,
       "sitemap entry 6 (\"/a\\nb\"): URL contains the control character U+000A: "
       "\"https://example.com/a\\nb\""},
      {entry(kLongRoute), ErrorKind::InvalidEntity,
       "sitemap entry 7 (\"/" + std::string(199, 'a') +
           "\"...): URL is longer than 2048 characters: \"https://example.com/" +
           std::string(180, 'a') + "\"..."},
  };
  ScratchDir dir;
  auto writer = SitemapWriter::create(dir.path(), resolver());
  ASSERT_TRUE(writer);
  for (const Row& row : rows) {
    auto added = writer->add(row.entry);
    ASSERT_FALSE(added) << row.message;
    EXPECT_EQ(added.error(), ZoretError(row.kind, row.message));
  }
  ASSERT_TRUE(writer->add("/fine"));
  auto report = writer->finish();
  ASSERT_TRUE(report);
  EXPECT_EQ(report->url_count, 1u);
  EXPECT_EQ(read_file(dir.file("sitemap.xml")),
            std::string(kHeader) + "<url><loc>https://example.com/fine</loc></url>\n" +
                std::string(kClose));
  EXPECT_FALSE(writer->add("/late"));
  EXPECT_FALSE(writer->finish());
}

TEST(SitemapWriter, RefusesWhatNoFileOrIndexCanHold) {
  ScratchDir dir;
  SitemapOptions options;
  options.max_bytes_per_file = kHeader.size() + kClose.size() + line(1).size() - 1;
  auto writer = SitemapWriter::create(dir.path(), resolver(), options);
  ASSERT_TRUE(writer);
  auto added = writer->add(route(1));
  ASSERT_FALSE(added);
  EXPECT_EQ(added.error().message(),
            "sitemap entry 1 (\"/p/1\"): the entry takes " + std::to_string(line(1).size()) +
                " bytes, more than a sitemap file of " +
                std::to_string(options.max_bytes_per_file) + " bytes can hold");

  options = {};
  options.max_urls_per_file = 2;
  options.max_files = 2;
  auto full = write_routes(dir.path(), 1, 5, options);
  ASSERT_FALSE(full);
  EXPECT_EQ(full.error(),
            ZoretError(ErrorKind::Serialization,
                       "sitemap entry 5 (\"/p/5\"): the set would need more than 2 sitemap "
                       "files, more than one index may list"));
  EXPECT_TRUE(dir.names().empty());
}

TEST(SitemapWriter, ChecksOptionsAndTheDirectoryUpFront) {
  ScratchDir dir;
  const std::vector<std::pair<void (*)(SitemapOptions&), std::string>> rows = {
      {[](SitemapOptions& o) { o.basename = "../x"; },
       "sitemap basename must be 1 to 100 lower-case ASCII letters, digits, \"-\" or \"_\": "
       "\"../x\""},
      {[](SitemapOptions& o) { o.max_urls_per_file = 50'001; },
       "max_urls_per_file must be between 1 and 50000"},
      {[](SitemapOptions& o) {
         o.gzip = true;
         o.gzip_level = 10;
       },
       "gzip_level must be between 1 and 9"},
  };
  for (const auto& [edit, message] : rows) {
    SitemapOptions options;
    edit(options);
    auto writer = SitemapWriter::create(dir.path(), resolver(), options);
    ASSERT_FALSE(writer) << message;
    EXPECT_EQ(writer.error(), ZoretError(ErrorKind::InvalidConfiguration, message));
  }

  SEOConfig broken = testing::site();
  broken.public_base_url = "not a url";
  auto bad_base = SitemapWriter::create(dir.path(), UrlResolver(broken));
  ASSERT_FALSE(bad_base);
  EXPECT_EQ(bad_base.error().kind(), ErrorKind::InvalidConfiguration);

  SitemapOsError os;
  const std::string missing = dir.file("missing");
  auto no_dir = SitemapWriter::create(missing, resolver(), {}, &os);
  ASSERT_FALSE(no_dir);
  EXPECT_EQ(no_dir.error(),
            ZoretError(ErrorKind::Serialization, "failed to write sitemaps: \"" + missing +
                                                     "\": No such file or directory (os error 2)"));
  EXPECT_EQ(os.code, ENOENT);
  EXPECT_EQ(os.path, missing);
}

TEST(SitemapWriter, WritesAnEmptyUrlsetWithoutEntries) {
  ScratchDir dir;
  auto report = write_routes(dir.path(), 1, 0);
  ASSERT_TRUE(report);
  EXPECT_EQ(read_file(dir.file("sitemap.xml")), std::string(kHeader) + std::string(kClose));
}

// The old set, as a previous run left it.
void write_old_set(const ScratchDir& dir) {
  SitemapOptions options;
  options.max_urls_per_file = 2;
  ASSERT_TRUE(write_routes(dir.path(), 900, 903, options));
}

std::vector<std::string> snapshot(const ScratchDir& dir) {
  std::vector<std::string> out;
  for (const auto& name : dir.names()) out.push_back(name + "=" + read_file(dir.file(name)));
  return out;
}

TEST(SitemapWriter, AnAbandonedSetLeavesTheOldOneIntact) {
  ScratchDir dir;
  write_old_set(dir);
  const auto before = snapshot(dir);
  {
    SitemapOptions options;
    options.max_urls_per_file = 3;
    auto writer = SitemapWriter::create(dir.path(), resolver(), options);
    ASSERT_TRUE(writer);
    for (std::size_t n = 1; n <= 10; ++n) ASSERT_TRUE(writer->add(route(n)));
    SitemapEntry bad;
    bad.route = "/bad";
    bad.lastmod = "2024-13";
    ASSERT_FALSE(writer->add(bad));
    // Dropped without finish, as when the caller's iterator raises.
  }
  EXPECT_EQ(snapshot(dir), before);
}

// A real failure part way through, after the first files were sealed under
// temporary names: a full tmpfs (ENOSPC) where this process may mount one,
// otherwise the file-size limit (EFBIG), which the longer second file exceeds.
TEST(SitemapWriter, AFailedWriteLeavesTheOldSetAndNoTemporaries) {
  ScratchDir dir;
  const bool mounted = ::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=256k") == 0;
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  struct Restore {
    bool mounted;
    const std::string& path;
    rlimit limit;
    void (*handler)(int);
    ~Restore() {
      if (mounted) ::umount2(path.c_str(), MNT_DETACH);
      ::setrlimit(RLIMIT_FSIZE, &limit);
      ::signal(SIGXFSZ, handler);
    }
  } restore{mounted, dir.path(), saved, old_handler};

  write_old_set(dir);
  const auto before = snapshot(dir);
  for (const bool gzip : {false, true}) {
    // Above the first file (500 short routes), below the second (500 long ones).
    rlimit small = saved;
    small.rlim_cur = gzip ? 20'000 : 50'000;
    if (!mounted) {
      ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    SitemapOptions options;
    options.gzip = gzip;
    options.gzip_level = 1;
    options.max_urls_per_file = 500;
    auto writer = SitemapWriter::create(dir.path(), resolver(), options);
    ASSERT_TRUE(writer);
    Result<void> added;
    // Random digits, so that gzip cannot shrink the routes to nothing.
    std::uint64_t state = 88172645463325252ULL;
    const auto next = [&state] {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      return std::to_string(state);
    };
    std::size_t n = 0;
    while (added && n++ < 100'000) {
      added = writer->add(n <= 500 ? "/r/" + next() : "/r/" + next() + next() + next() + next());
    }
    Result<SitemapReport> finished =
        added ? writer->finish() : Result<SitemapReport>(added.error());
    ASSERT_FALSE(finished) << gzip;
    EXPECT_GT(n, 500u);
    ASSERT_TRUE(writer->os_error());
    const int code = mounted ? ENOSPC : EFBIG;
    EXPECT_EQ(writer->os_error()->code, code);
    EXPECT_NE(finished.error().message().find("(os error " + std::to_string(code) + ")"),
              std::string::npos)
        << finished.error().message();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(snapshot(dir), before) << gzip;
  }
}

TEST(SitemapWriter, SplitsARealSetAfter50000Urls) {
  ScratchDir dir;
  auto report = write_routes(dir.path(), 1, 50'001);
  ASSERT_TRUE(report) << report.error().display();
  EXPECT_EQ(report->url_count, 50'001u);
  EXPECT_EQ(dir.names(),
            (std::vector<std::string>{"sitemap-1.xml", "sitemap-2.xml", "sitemap.xml"}));
  const std::string first = read_file(dir.file("sitemap-1.xml"));
  EXPECT_EQ(count_of(first, "<url>"), 50'000u);
  EXPECT_TRUE(first.ends_with(line(50'000) + std::string(kClose)));
  EXPECT_EQ(read_file(dir.file("sitemap-2.xml")),
            std::string(kHeader) + line(50'001) + std::string(kClose));
  EXPECT_EQ(
      count_of(read_file(dir.file("sitemap.xml")), "<sitemap><loc>https://example.com/sitemap-"),
      2u);
}

}  // namespace
}  // namespace zoret::site
