// Page generation for the sample site. Fixed texts are written here in UTF-8
// and turned into GBK once; names and chapter texts are picked from small
// word pools by a hash of the book id and chapter number, never by chance.
#include "tools/sample-site/site_content.h"

#include <array>
#include <charconv>
#include <cstring>
#include <vector>

#include "site/site_categories.h"
#include "site/site_hosts.h"
#include "text/codec.h"

namespace sample_site {
namespace {

constexpr long long ChapterIdBase = 100000;

constexpr std::array<std::string_view, 7> SeriesNames = {
    "鬼吹灯之沙海古城", "鬼吹灯之雪岭灯影",   "鬼吹灯之南疆虫谷", "鬼吹灯之黄河夜渡",
    "鬼吹灯外传",       "我在鬼吹灯里当向导", "新鬼吹灯",
};
constexpr std::array<std::string_view, 20> NameHeads = {
    "万古", "逆天", "九州", "青云", "星河", "剑道", "重生之", "都市", "无上", "太古",
    "龙城", "长安", "风起", "天下", "大唐", "末世", "仙途",   "雪中", "烟雨", "凡人",
};
constexpr std::array<std::string_view, 20> NameTails = {
    "神帝", "仙尊", "剑主",   "传说", "纪元", "秘录", "风云", "长歌", "狂徒", "医圣",
    "兵王", "行者", "诡事录", "迷城", "战神", "异闻", "至尊", "天途", "书生", "江湖",
};
constexpr std::array<std::string_view, 20> Authors = {
    "夜行书生", "南山客",   "青灯古佛", "墨染江南", "北冥有鱼", "风卷残云", "一叶知秋",
    "半壶老酒", "东篱采菊", "石头记事", "孤舟蓑笠", "白马啸西", "月下独酌", "长风破浪",
    "听雨楼主", "西窗剪烛", "闲云野鹤", "江上渔火", "落笔生花", "柳岸晓风",
};
constexpr std::array<std::string_view, 12> Heroes = {
    "林远", "苏青", "陈默",   "叶寒",   "楚云",   "沈星",
    "顾北", "萧然", "宁远舟", "韩小山", "周子墨", "许清欢",
};
constexpr std::array<std::string_view, 40> TitlePhrases = {
    "初入江湖", "风雨欲来", "夜探古墓", "惊天秘闻", "故人重逢", "山雨欲来", "月下对饮", "暗流涌动",
    "古城迷踪", "命悬一线", "绝处逢生", "孤灯夜话", "血战到底", "千里追踪", "雪夜奇遇", "真相大白",
    "步步惊心", "棋逢对手", "神秘来客", "江湖再见", "风云突变", "破釜沉舟", "一诺千金", "天机难测",
    "归途",     "迷雾",     "试炼",     "交锋",     "抉择",     "离别",     "旧梦",     "余烬",
    "归来",     "星火",     "长夜",     "黎明",     "出山",     "问剑",     "对弈",     "远行",
};
// "%s" stands for the book's hero.
constexpr std::array<std::string_view, 28> Sentences = {
    "%s推开那扇吱呀作响的木门，屋里弥漫着一股陈年的霉味。",
    "窗外的雨下得正紧，檐角的铁马叮当作响。",
    "他低头看了看手中的罗盘，指针正在微微颤动。",
    "%s深吸一口气，握紧了腰间的短刀。",
    "远处传来几声犬吠，随即又归于寂静。",
    "老人眯起眼睛，慢悠悠地说道：“年轻人，这条路可不好走。”",
    "火光映在石壁上，照出一行模糊的刻字。",
    "众人面面相觑，谁也没有再开口。",
    "%s心中暗想，此事绝不会如此简单。",
    "山路崎岖，走了整整一个时辰才看见村口的老槐树。",
    "他从怀里掏出一张泛黄的地图，小心翼翼地摊在桌上。",
    "风从山谷里呼啸而过，卷起一地枯叶。",
    "“快走！”%s低喝一声，拉着同伴钻进了密林。",
    "墙角的油灯忽明忽暗，仿佛随时都会熄灭。",
    "这一夜，谁都没有睡着。",
    "客栈掌柜陪着笑脸迎了上来，眼神却在几人身上来回打量。",
    "%s想起师父临行前的嘱咐，不由得放慢了脚步。",
    "河面上起了一层薄雾，对岸的灯火若隐若现。",
    "石门缓缓打开，一股寒气扑面而来。",
    "他笑了笑，没有回答，只是把茶杯轻轻放回桌上。",
    "天色渐渐亮了，东边的山头露出一抹鱼肚白。",
    "%s翻身上马，头也不回地朝北方驰去。",
    "那封信上只写了八个字，却让他整整想了一夜。",
    "脚下的石板路被雨水冲刷得发亮。",
    "人群中忽然有人惊叫起来，场面顿时乱作一团。",
    "%s蹲下身子，仔细查看地上的脚印。",
    "铜铃声由远及近，一支驼队出现在沙丘的尽头。",
    "他知道，真正的考验才刚刚开始。",
};

// A fixed mix of the inputs (no chance involved, the same on every run).
std::uint32_t Hash(std::uint32_t a, std::uint32_t b = 0, std::uint32_t c = 0) {
    std::uint32_t x = a * 0x9E3779B1u;
    x ^= b + 0x7F4A7C15u + (x << 6) + (x >> 2);
    x ^= c + 0x165667B1u + (x << 6) + (x >> 2);
    x ^= x >> 16;
    x *= 0x85EBCA6Bu;
    x ^= x >> 13;
    x *= 0xC2B2AE35u;
    x ^= x >> 16;
    return x;
}

template <std::size_t N>
std::string_view Pick(const std::array<std::string_view, N>& pool, std::uint32_t h) {
    return pool[h % N];
}

Text G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

Text Repeat(std::string_view gbk, int times) {
    Text out;
    for (int i = 0; i < times; ++i) {
        out += gbk;
    }
    return out;
}

// 1 -> 一, 10 -> 十, 110 -> 一百一十, 1001 -> 一千零一, 10000 -> 一万.
std::string ChineseNumber(int n) {
    static constexpr std::array<std::string_view, 10> Digits = {"零", "一", "二", "三", "四",
                                                                "五", "六", "七", "八", "九"};
    static constexpr std::array<std::pair<int, std::string_view>, 5> Places = {
        {{10000, "万"}, {1000, "千"}, {100, "百"}, {10, "十"}, {1, ""}}};
    std::string out;
    bool gap = false;
    for (const auto& [value, unit] : Places) {
        const int digit = n / value % 10;
        if (digit == 0) {
            gap = !out.empty();
            continue;
        }
        if (gap) {
            out += Digits[0];
            gap = false;
        }
        if (!(digit == 1 && value == 10 && out.empty())) {
            out += Digits[digit];
        }
        out += unit;
    }
    return out;
}

Text HtmlEscape(std::string_view gbk) {
    // < > & " are below 0x40, so they never stand as a GBK trail byte.
    Text out;
    for (const char c : gbk) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::optional<int> ParseNumber(std::string_view digits) {
    // Canonical decimal only: "01001" is not book 1001.
    if (digits.empty() || digits.size() > 9 || (digits[0] == '0' && digits.size() > 1)) {
        return std::nullopt;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

// ---------------------------------------------------------------- books

struct Book {
    int Id = 0;
    Text Name;
    int AuthorIndex = 0;
    int Category = 0;  // 1..9; 0 for the special books
    int Chapters = 0;
    int Hero = 0;
};

bool IsOrdinary(int id) {
    return id >= FirstBookId && id <= LastBookId;
}

int CategoryOf(int ordinaryId) {
    return 1 + (ordinaryId - FirstBookId) % 9;
}

std::optional<Book> MakeBook(int id) {
    Book book;
    book.Id = id;
    book.Hero = static_cast<int>(Hash(id, 7) % Heroes.size());
    book.AuthorIndex = static_cast<int>(Hash(id, 3) % Authors.size());
    if (IsOrdinary(id)) {
        const int k = id - FirstBookId;
        if (k < static_cast<int>(SeriesNames.size())) {
            book.Name = G(SeriesNames[k]);
            book.AuthorIndex = k < 5 ? 0 : book.AuthorIndex;
        } else {
            // 7 and 400 share no factor, so the first 400 names never repeat.
            const int combo = (k * 7) % static_cast<int>(NameHeads.size() * NameTails.size());
            book.Name = G(std::string(NameHeads[combo / NameTails.size()]) +
                          std::string(NameTails[combo % NameTails.size()]));
        }
        book.Category = CategoryOf(id);
        book.Chapters = id % 10 == 0 ? 200 + static_cast<int>(Hash(id, 2) % 400)
                                     : 12 + static_cast<int>(Hash(id, 1) % 120);
        return book;
    }
    using namespace special;
    switch (id) {
        case SharedTitles:
            book.Name = G("同名章节测试");
            book.Chapters = 6;
            break;
        case PathCharacters:
            book.Name = G("路径/字符\\测试:*?<>|");
            book.Chapters = 12;
            break;
        case InvalidGbk:
            book.Name = G("坏字节") + "\x81\x20" + G("测试");
            book.Chapters = 5;
            break;
        case Slow:
            book.Name = G("慢速测试");
            book.Chapters = 10;
            break;
        case NeverAnswers:
            book.Name = G("永不应答测试");
            book.Chapters = 3;
            break;
        case ChapterNeverAnswers:
            book.Name = G("章节无应答测试");
            book.Chapters = 5;
            break;
        case ResetIndex:
            book.Name = G("连接重置测试");
            book.Chapters = 400;
            break;
        case ResetChapter:
            book.Name = G("章节重置测试");
            book.Chapters = 3;
            break;
        case HugeWithLength:
            book.Name = G("超大页面测试");
            break;
        case HugeChunked:
            book.Name = G("超大分块页面测试");
            break;
        case AtBodyLimit:
            book.Name = G("恰好上限页面测试");
            break;
        case RedirectLoop:
            book.Name = G("重定向循环测试");
            break;
        case TenThousandChapters:
            book.Name = G("万章测试");
            book.Chapters = 10000;
            break;
        case RepeatedLinks:
            book.Name = G("重复链接测试");
            book.Chapters = 20;
            break;
        case MissingContentMarker:
            book.Name = G("缺少正文测试");
            book.Chapters = 3;
            break;
        case LongAndControlTitles:
            // 300 bytes: 6 characters of name and 144 more.
            book.Name = G("超长标题测试") + Repeat(G("书"), 144);
            book.Chapters = 4;
            break;
        case NoChapters:
            book.Name = G("空目录测试");
            break;
        case PathTrailBytes:
            // 淺 is 0x9C 0x5C and 東 is 0x96 0x7C: whole characters whose
            // second byte alone would read as '\' and '|'.
            book.Name = G("尾字节") + "\x9C\x5C\x96\x7C" + G("测试");
            book.Chapters = 4;
            break;
        case TwoThousandChapters:
            book.Name = G("两千章测试");
            book.Chapters = 2000;
            break;
        default:
            return std::nullopt;
    }
    return book;
}

const std::vector<int>& SpecialIds() {
    static const std::vector<int> ids = [] {
        std::vector<int> out;
        for (int id = 9001; id <= 9019; ++id) {
            out.push_back(id);
        }
        return out;
    }();
    return ids;
}

Text AuthorOf(const Book& book) {
    return G(Authors[book.AuthorIndex]);
}
// Five digits, so no four-digit book id ends with an author id: the listing's
// author marker (author id + `.html" title="`) would otherwise match inside
// the book's own link.
std::string AuthorIdOf(const Book& book) {
    return std::to_string(30011 + 7 * book.AuthorIndex);
}

Text ChapterTitle(const Book& book, int n) {
    const std::string number = "第" + ChineseNumber(n) + "章";
    const std::string ordinary =
        number + " " + std::string(Pick(TitlePhrases, Hash(book.Id, n, 11)));
    using namespace special;
    switch (book.Id) {
        case SharedTitles: {
            static constexpr std::array<std::string_view, 6> Titles = {
                "第一章 开端", "第二章 重逢", "第二章 重逢", "番外", "番外", "番外"};
            return G(Titles[n - 1]);
        }
        case PathCharacters: {
            static constexpr std::array<std::string_view, 12> Titles = {"第一章 甲/乙",
                                                                        "第二章 甲\\乙",
                                                                        "第三章 子时:三刻",
                                                                        "第四章 星号*",
                                                                        "第五章 问号?",
                                                                        "第六章 \"引号\"",
                                                                        "第七章 <尖括号>",
                                                                        "第八章 竖线|",
                                                                        "..",
                                                                        ".",
                                                                        "../../逃逸",
                                                                        "..\\..\\逃逸"};
            return G(Titles[n - 1]);
        }
        case InvalidGbk:
            if (n == 1) {
                return G("第一章 ") + "\xFF\xFF" + G("无效字节");
            }
            if (n == 4) {
                // Ends on a lead byte: the walk takes the '<' after it as its
                // trail, so the title's end marker is not found.
                return G("第四章 残缺") + "\x81";
            }
            break;
        case PathTrailBytes:
            if (n == 1) {
                return G("第一章 ") + "\x9C\x5C";  // ends on the byte of '\'
            }
            if (n == 2) {
                return G("第二章 ") + "\x96\x7C" + G("西");
            }
            if (n == 3) {
                return "\x81\x5C\x81\x5C";  // 乗乗
            }
            break;
        case LongAndControlTitles:
            if (n == 1) {
                return G("第一章") + Repeat(G("长"), 147);  // 300 bytes
            }
            if (n == 2) {
                return G("第二章 控制") + "\x01" + G("字符") + "\x1F\t" + G("制表") + "\x7F";
            }
            if (n == 3) {
                return G("第三章 回车") + "\r\n" + G("换行");
            }
            break;
        default:
            break;
    }
    return G(ordinary);
}

// The chapter's paragraphs, each "<p>...</p>".
Text ChapterParagraphs(const Book& book, int n) {
    const std::string hero(Heroes[book.Hero]);
    std::string utf8;
    // The 2,000-chapter book has long chapters: pages of about 4 KB.
    const int fewest = book.Id == special::TwoThousandChapters ? 24 : 6;
    const int paragraphs = fewest + static_cast<int>(Hash(book.Id, n, 1) % 8);
    for (int p = 0; p < paragraphs; ++p) {
        // Every seventh chapter writes one paragraph in capitals, as some
        // pages of the site do.
        const bool capitals = n % 7 == 0 && p == 1;
        utf8 += capitals ? "<P>" : "<p>";
        const int sentences = 2 + static_cast<int>(Hash(book.Id, n, 100 + p) % 3);
        for (int s = 0; s < sentences; ++s) {
            std::string sentence(
                Pick(Sentences, Hash(book.Id, static_cast<std::uint32_t>(n * 64 + p), s)));
            if (const auto at = sentence.find("%s"); at != std::string::npos) {
                sentence.replace(at, 2, hero);
            }
            utf8 += sentence;
        }
        utf8 += capitals ? "</P>" : "</p>";
    }
    Text gbk = G(utf8);
    if (book.Id == special::InvalidGbk && n == 2) {
        gbk =
            "<p>" + G("乱码") + "\x80" + G("夹在") + "\x81\x7F" + G("中间") + "\xFF\xFE</p>" + gbk;
    }
    if (book.Id == special::InvalidGbk && n == 3) {
        // A lead byte right before the end marker swallows its '<'.
        gbk += "\x81";
    }
    return gbk;
}

// ---------------------------------------------------------------- pages

const Text& SiteName() {
    static const Text name = G("幻侠小说网");
    return name;
}

Text BookSiteBase() {
    return "http://" + std::string(BookHost);
}

Text PageHead(const Text& title) {
    return "<!DOCTYPE html>\r\n<html><head><meta http-equiv=\"Content-Type\" "
           "content=\"text/html; charset=gbk\" />\r\n<title>" +
           title + "</title></head>\r\n<body>\r\n";
}

Text CategoryNav() {
    Text nav = "<div class=\"nav\"><a href=\"/\">" + G("首页") + "</a>";
    for (const Category& c : CategoryTable) {
        nav += " | <a href=\"/" + std::string(c.slug) + "novel_9_1.html\">" + G(c.caption) + "</a>";
    }
    return nav + "</div>\r\n";
}

Text PageFoot() {
    return "<div class=\"footer\">" + G("幻侠小说网 版权所有") + "</div>\r\n</body></html>\r\n";
}

SitePage NotFound() {
    SitePage page;
    page.Status = 404;
    page.Body = PageHead("404 Not Found") + "<h1>404 Not Found</h1>\r\n<p>" +
                G("您访问的页面不存在。") + "</p>\r\n" + PageFoot();
    return page;
}

SitePage NoDataPage() {
    SitePage page;
    page.Body = PageHead(SiteName()) + CategoryNav() + "<div class=\"err\">" + G("没有数据") +
                "</div>\r\n" + PageFoot();
    return page;
}

SitePage HomePage() {
    SitePage page;
    page.Body = PageHead(SiteName()) + CategoryNav() + "<p>" +
                G("欢迎来到幻侠小说网，这里是本地样例站点。") + "</p>\r\n" + PageFoot();
    return page;
}

Text ChapterLink(const Book& book, int n) {
    return "<li><a href=\"/book" + std::to_string(book.Id) + "_" + ChapterId(book.Id, n) +
           ".html\">" + ChapterTitle(book, n) + "</a></li>\r\n";
}

Text IndexPageText(const Book& book) {
    const std::string id = std::to_string(book.Id);
    Text page = PageHead(book.Name + G("章节目录_") + book.Name + G("最新章节_") + SiteName());
    page += "<script type=\"text/javascript\">var mybookid=\"" + id + "\";var myauthor=\"" +
            AuthorOf(book) + "\";</script>\r\n";
    page += CategoryNav();
    page += "<div class=\"info\"><h1>" + book.Name + "</h1><p>" + G("作者：") + "<a href=\"/user" +
            AuthorIdOf(book) + ".html\">" + AuthorOf(book) + "</a></p></div>\r\n";
    if (book.Id == special::RepeatedLinks) {
        // The newest chapters first, then the whole list: twelve ids twice.
        page += "<div class=\"latest\"><h2>" + G("最新章节") + "</h2><ul>\r\n";
        for (int n = book.Chapters; n > book.Chapters - 12; --n) {
            page += ChapterLink(book, n);
        }
        page += "</ul></div>\r\n";
    }
    page += "<div class=\"list\"><h2>" + G("章节列表") + "</h2><ul>\r\n";
    for (int n = 1; n <= book.Chapters; ++n) {
        page += ChapterLink(book, n);
    }
    page += "</ul></div>\r\n";
    return page + PageFoot();
}

SitePage IndexPage(const Book& book) {
    using namespace special;
    SitePage page;
    switch (book.Id) {
        case RedirectLoop:
            page.Status = 302;
            page.Location = "/book" + std::to_string(book.Id) + "_novel.html";
            page.Body = "<html><body>302 Found</body></html>";
            return page;
        case HugeWithLength:
        case HugeChunked:
        case AtBodyLimit:
            page.How = Delivery::Stream;
            page.Body = PageHead(book.Name + G("章节目录_") + SiteName());
            page.StreamBytes = book.Id == AtBodyLimit ? BodyLimitBytes : BodyLimitBytes + 1;
            page.Chunked = book.Id != HugeWithLength;
            return page;
        default:
            break;
    }
    page.Body = IndexPageText(book);
    if (book.Id == NeverAnswers) {
        page.How = Delivery::NeverAnswer;
    } else if (book.Id == ResetIndex) {
        page.How = Delivery::ResetMidBody;
    } else if (book.Id == Slow) {
        page.Delay = SlowIndexDelay;
    }
    return page;
}

SitePage ChapterPage(const Book& book, int n) {
    using namespace special;
    const std::string id = std::to_string(book.Id);
    const Text title = ChapterTitle(book, n);
    Text body = PageHead(title + "_" + book.Name + "_" + SiteName());
    body += "<div class=\"nav\"><a href=\"/\">" + SiteName() + "</a> &gt; <a href=\"/book" + id +
            "_novel.html\">" + book.Name + "</a></div>\r\n";
    body += "<h2 id=\"htmltimu\">" + title + "</h2> \r\n";
    const bool markerMissing = book.Id == MissingContentMarker && n == 2;
    body += markerMissing ? "<div id=\"content\" class=\"contentbox\">"
                          : "<div id=\"htmlContent\" class=\"contentbox\">";
    body += ChapterParagraphs(book, n);
    body += "<p>" + G("本书由幻侠小说网(") + std::string(BookHost) + G(")首发") + "</p></div>\r\n";
    body += "<div class=\"pager\">";
    if (n > 1) {
        body += "<a href=\"/book" + id + "_" + ChapterId(book.Id, n - 1) + ".html\">" +
                G("上一章") + "</a> ";
    }
    body += "<a href=\"/book" + id + "_novel.html\">" + G("目录") + "</a>";
    if (n < book.Chapters) {
        body += " <a href=\"/book" + id + "_" + ChapterId(book.Id, n + 1) + ".html\">" +
                G("下一章") + "</a>";
    }
    body += "</div>\r\n" + PageFoot();

    SitePage page;
    page.Body = std::move(body);
    if (book.Id == Slow) {
        page.Delay = SlowChapterDelay;
    } else if (book.Id == ChapterNeverAnswers && n >= 3) {
        page.How = Delivery::NeverAnswer;
    } else if (book.Id == ResetChapter && n == 2) {
        page.How = Delivery::ResetMidBody;
    }
    return page;
}

Text Intro(const Book& book) {
    static constexpr std::array<std::string_view, 3> Templates = {
        "一段关于%s的传奇故事，在古老的土地上徐徐展开。",
        "%s本是无名小卒，一场变故让他踏上了未知的旅途。",
        "山河万里，风云再起，%s的命运从这一夜开始改变。",
    };
    std::string text(Pick(Templates, Hash(book.Id, 5)));
    text.replace(text.find("%s"), 2, Heroes[book.Hero]);
    return G(text);
}

Text LastChapterTitle(const Book& book) {
    return book.Chapters > 0 ? ChapterTitle(book, book.Chapters) : Text();
}

// Books of a listing: every ordinary book on 最新更新 (newest id first), the
// books of one category, in id order, on the others.
std::vector<int> ListingBooks(int category) {
    std::vector<int> ids;
    if (category == 0) {
        for (int id = LastBookId; id >= FirstBookId; --id) {
            ids.push_back(id);
        }
    } else {
        for (int id = FirstBookId; id <= LastBookId; ++id) {
            if (CategoryOf(id) == category) {
                ids.push_back(id);
            }
        }
    }
    return ids;
}

SitePage ListingPage(int category, int pageNumber) {
    const std::vector<int> ids = ListingBooks(category);
    const int pages =
        (static_cast<int>(ids.size()) + BooksPerListingPage - 1) / BooksPerListingPage;
    const Text caption = G(CategoryTable[category].caption);
    const std::string slug(CategoryTable[category].slug);

    Text body = PageHead(caption + "_" + SiteName()) + CategoryNav();
    body += "<div class=\"booklist\"><h2>" + caption + "</h2>\r\n";
    const std::size_t first = static_cast<std::size_t>(pageNumber - 1) * BooksPerListingPage;
    for (std::size_t i = first; i < ids.size() && i < first + BooksPerListingPage; ++i) {
        const Book book = *MakeBook(ids[i]);
        const std::string id = std::to_string(book.Id);
        body += "<div class=\"nrrk\">\r\n<div class=\"pic\"><a href=\"/book" + id +
                ".html\" title=\"" + book.Name + "\"><img src=\"/img/" + id + ".jpg\" alt=\"" +
                book.Name + "\" /></a></div>\r\n";
        body += "<div class=\"info\"><h3><a href=\"/book" + id + ".html\" title=\"" + book.Name +
                "\">" + book.Name + "</a></h3>\r\n";
        body += "<p class=\"author\">" + G("作者：") + "<a href=\"/user" + AuthorIdOf(book) +
                ".html\" title=\"" + AuthorOf(book) + "\">" + AuthorOf(book) + "</a></p>\r\n";
        body += "<p class=\"intro\">" + Intro(book) + "</p>\r\n";
        body += "<span class=\"update\">" + G("更新至：") + LastChapterTitle(book) +
                "</span>\r\n</div></div>\r\n";
    }
    body += "</div>\r\n<div class=\"pager\">";
    body += G("第") + std::to_string(pageNumber) + "/" + std::to_string(pages) + G("页");
    if (pageNumber < pages) {
        body += " <a href=\"/" + slug + "novel_9_" + std::to_string(pageNumber + 1) + ".html\">" +
                G("下一页") + "</a>";
    }
    body += "</div>\r\n" + PageFoot();
    SitePage page;
    page.Body = std::move(body);
    return page;
}

// Percent escapes become bytes and '+' a space; the bytes stay GBK.
Text DecodeQueryValue(std::string_view value) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    Text out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size() && hex(value[i + 1]) >= 0 &&
            hex(value[i + 2]) >= 0) {
            out += static_cast<char>(hex(value[i + 1]) * 16 + hex(value[i + 2]));
            i += 2;
        } else if (value[i] == '+') {
            out += ' ';
        } else {
            out += value[i];
        }
    }
    std::erase(out, '\0');
    return out;
}

Text QueryParameter(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const std::size_t eq = pair.find('=');
        if (pair.substr(0, eq) == name) {
            return eq == std::string_view::npos ? Text() : DecodeQueryValue(pair.substr(eq + 1));
        }
        if (amp == std::string_view::npos) {
            break;
        }
        query.remove_prefix(amp + 1);
    }
    return {};
}

SitePage SearchPage(std::string_view query) {
    const Text wanted = QueryParameter(query, "query");
    std::vector<Book> found;
    if (!wanted.empty()) {
        auto consider = [&](int id) {
            std::optional<Book> book = MakeBook(id);
            if (book && FindText(book->Name, wanted) != -1) {
                found.push_back(std::move(*book));
            }
        };
        for (int id = FirstBookId; id <= LastBookId; ++id) {
            consider(id);
        }
        for (const int id : SpecialIds()) {
            consider(id);
        }
    }

    const Text base = BookSiteBase();
    Text body = PageHead(G("搜索结果_") + SiteName());
    body += "<div class=\"nav\"><a href=\"" + base + "/\">" + SiteName() + "</a> | <a href=\"" +
            base + "/novel_9_1.html\">" + G("最新更新") + "</a></div>\r\n";
    body += "<div class=\"search\">" + G("关键词“") + HtmlEscape(wanted) + G("”，检索到<span>") +
            std::to_string(found.size()) + G("</span>条结果") +
            "</div>\r\n<ul class=\"result\">\r\n";
    for (const Book& book : found) {
        const std::string id = std::to_string(book.Id);
        body += "<li><a href=\"javascript:flink('" + id + "','" + base + "/book" + id +
                ".html')\" title=\"" + book.Name + "\"><b>" + book.Name + "</b></a>\r\n";
        body += "<span class=\"author\">" + G("作者：") + "<a href=\"" + base + "/user" +
                AuthorIdOf(book) + ".html\" class=\"blue\">" + AuthorOf(book) + "</a></span>\r\n";
        body += "<span class=\"intro\">" + G("简介：") + Intro(book) + "</span>\r\n";
        body +=
            "<span class=\"chapter\">" + G("最新章节：") + LastChapterTitle(book) + "</span>\r\n";
        const std::uint32_t day = 1 + Hash(book.Id, 9) % 28;
        body += "<span class=\"time\">" + G("最近更新：") + "2024-03-" + (day < 10 ? "0" : "") +
                std::to_string(day) + "</span></li>\r\n";
    }
    body += "</ul>\r\n" + PageFoot();
    SitePage page;
    page.Body = std::move(body);
    return page;
}

// "/book{id}.html", "/book{id}_novel.html" and "/book{id}_{chapterId}.html".
std::optional<SitePage> BookPage(std::string_view path) {
    if (!path.starts_with("/book") || !path.ends_with(".html")) {
        return std::nullopt;
    }
    std::string_view middle = path.substr(5, path.size() - 5 - 5);
    const std::size_t underscore = middle.find('_');
    const std::string_view idText = middle.substr(0, underscore);
    if (idText.empty() || idText.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<int> id = ParseNumber(idText);
    std::optional<Book> book = id ? MakeBook(*id) : std::nullopt;

    if (underscore == std::string_view::npos) {
        // The book's own page: on to its chapter index.
        SitePage page;
        page.Status = 302;
        page.Location = "/book" + std::string(idText) + "_novel.html";
        page.Body = "<html><body>302 Found</body></html>";
        return page;
    }
    const std::string_view rest = middle.substr(underscore + 1);
    if (rest == "novel") {
        return book ? IndexPage(*book) : NoDataPage();
    }
    const std::optional<int> chapterId = ParseNumber(rest);
    if (!book || !chapterId) {
        return NotFound();
    }
    const long long n = *chapterId - book->Id * ChapterIdBase;
    if (n < 1 || n > book->Chapters) {
        return NotFound();
    }
    return ChapterPage(*book, static_cast<int>(n));
}

// "/{slug}novel_9_{page}.html".
std::optional<SitePage> ListingRoute(std::string_view path) {
    constexpr std::string_view Middle = "novel_9_";
    const std::size_t at = path.find(Middle);
    if (!path.starts_with("/") || at == std::string_view::npos || !path.ends_with(".html")) {
        return std::nullopt;
    }
    const std::string_view slug = path.substr(1, at - 1);
    const std::string_view pageText =
        path.substr(at + Middle.size(), path.size() - at - Middle.size() - 5);
    const std::optional<int> pageNumber = ParseNumber(pageText);
    if (!pageNumber || *pageNumber < 1 || *pageNumber > 9999) {
        return std::nullopt;
    }
    for (std::size_t c = 0; c < CategoryTable.size(); ++c) {
        if (CategoryTable[c].slug == slug) {
            return ListingPage(static_cast<int>(c), *pageNumber);
        }
    }
    return std::nullopt;
}

}  // namespace

std::string ChapterId(int bookId, int n) {
    return std::to_string(bookId * ChapterIdBase + n);
}

std::optional<BookFacts> FindBook(std::string_view id) {
    const std::optional<int> number = ParseNumber(id);
    const std::optional<Book> book = number ? MakeBook(*number) : std::nullopt;
    if (!book) {
        return std::nullopt;
    }
    BookFacts facts;
    facts.Id = std::to_string(book->Id);
    facts.Name = book->Name;
    facts.Author = AuthorOf(*book);
    facts.AuthorId = AuthorIdOf(*book);
    facts.Slug = book->Category == 0 ? "" : std::string(CategoryTable[book->Category].slug);
    facts.Chapters = book->Chapters;
    return facts;
}

SitePage RenderPage(SiteHost host, std::string_view target) {
    const std::size_t question = target.find('?');
    const std::string_view path = target.substr(0, question);
    const std::string_view query =
        question == std::string_view::npos ? std::string_view() : target.substr(question + 1);

    if (host != SiteHost::Book && path == "/searchresultnet.aspx") {
        return SearchPage(query);
    }
    if (host == SiteHost::Search) {
        return NotFound();
    }
    if (path == "/" || path == "/index.html") {
        return HomePage();
    }
    if (std::optional<SitePage> page = BookPage(path)) {
        return std::move(*page);
    }
    if (std::optional<SitePage> page = ListingRoute(path)) {
        return std::move(*page);
    }
    return NotFound();
}

}  // namespace sample_site
