// Chat code text shown in a view.
#include "chat/chat_decoder.h"

#include <algorithm>

#include "chat/chat_code.h"
#include "chat/chat_input.h"
#include "chat/chat_pictures.h"
#include "chat/code_text.h"
#include "chat/plain_chat_sink.h"
#include "chat/voice_clips.h"
#include "platform/text/text.h"
#include "tests/chat/chat_test_support.h"

namespace {

class Decoder : public ::testing::Test {
protected:
    Decoder() : faces(TestFaces("/prog/")), pictures(fetcher, dir.Path() + "Image") {
        ctx.faces = &faces;
        ctx.pictures = &pictures;
        ctx.voices = &voices;
        ctx.programFolder = "/prog";
    }
    std::vector<std::string> Show(std::string_view code, ChatDecodeOptions options = {}) {
        RecordingSink sink;
        DecodeToView(sink, code, ChatTextFormat{}, ctx, options);
        pictures.ForgetView(sink);
        return sink.calls;
    }
    using V = std::vector<std::string>;

    TempDir dir;
    RecordingFetcher fetcher;
    CFaceTable faces;
    CChatPictures pictures;
    CVoiceClipMap voices;
    ChatDecodeContext ctx;
};

}  // namespace

TEST_F(Decoder, TextAndFaces) {
    ChatTextFormat bold;
    bold.bold = true;
    RecordingSink sink;
    DecodeToView(sink, "a//b/f[\"007\"]c", bold, ctx);
    EXPECT_EQ(sink.calls, (V{"text:a/b (bold)", "face:7:/prog/skin/Face/7.png", "text:c (bold)"}));
    EXPECT_EQ(Show("(x) /f[\"1\"]/f[\"0001\"]"),
              (V{"text:(x) ", "face:1:/prog/skin/Face/1.png", "face:1:/prog/skin/Face/1.png"}));
    // A received typed tag, expanded first, shows the face.
    EXPECT_EQ(Show(ExpandFaceTags("ok //WX", faces)),
              (V{"text:ok ", "face:1:/prog/skin/Face/1.png"}));
}

TEST_F(Decoder, MalformedCodesShowAsTheTextTheyAre) {
    for (const std::string& code : std::vector<std::string>
         {"/f[\"099\"]", "/f[\"7\"", "/f[\"7", "/f", "/", "@", "@$#PIC:", "@$#PIC:abc:0",
          "@$#PIC:abc", "@$#:", "@$#:v1", "@$#::", "/c[\"\"]", "/c[\"/a.png\"", "a/f[\"\"]b"}) {
        EXPECT_EQ(Show(code), (V{"text:" + code})) << code;
    }
    EXPECT_TRUE(fetcher.requests.empty());
    EXPECT_EQ(voices.Size(), 0u);
    // Without a face table faces stay text too.
    CFaceTable none;
    ctx.faces = &none;
    EXPECT_EQ(Show("/f[\"007\"]"), (V{"text:/f[\"007\"]"}));
}

TEST_F(Decoder, LocalPicturesOnlyInTheUsersOwnLines) {
    const std::string code = "see/c[\"/home/me/cat.png\"]";
    EXPECT_EQ(Show(code, {.ownLine = true}), (V{"text:see", "image:/home/me/cat.png"}));
    // From someone else the path is just text: no local file is opened.
    EXPECT_EQ(Show("/c[\"/etc/shadow\"]"), (V{"text:/c[\"/etc/shadow\"]"}));
}

TEST_F(Decoder, StoredPicturesWaitForOneDownloadEach) {
    EXPECT_EQ(Show("x@$#PIC:abc:0\"y"), (V{"text:x", "wait:1:/prog/skin/wait_image.gif", "text:y"}));
    ASSERT_EQ(fetcher.requests.size(), 1u);
    EXPECT_EQ(fetcher.requests[0].source, "abc");
    const std::string dest = dir.Path() + "Image/abc";
    EXPECT_EQ(fetcher.requests[0].destination, dest);

    // The same picture again, in another view: no second download.
    RecordingSink other;
    DecodeToView(other, "@$#pic:abc:0\"", {}, ctx);
    EXPECT_EQ(fetcher.requests.size(), 1u);

    dir.Write("Image/abc", "png bytes");
    RecordingSink first;
    DecodeToView(first, "@$#PIC:abc:0\"", {}, ctx);
    pictures.OnFetched("abc", true);
    EXPECT_EQ(first.calls, (V{"wait:3:/prog/skin/wait_image.gif", "replace:3:" + dest}));
    EXPECT_EQ(other.calls.back(), "replace:2:" + dest);
    pictures.OnFetched("abc", true);  // a late duplicate changes nothing
    EXPECT_EQ(first.calls.size(), 2u);

    // Once here, it is shown at once.
    EXPECT_EQ(Show("@$#PIC:abc:0\""), (V{"image:" + dest}));
    EXPECT_EQ(fetcher.requests.size(), 1u);
}

TEST_F(Decoder, PictureUrlsOnlyInLinesTheServerWrites) {
    const std::string code = "@$#PIC:http://h:81/a.png:0\"";
    // In a user's line it is text, read by the usual rules.
    EXPECT_EQ(Show(code), (V{"text:@$#PIC:http:/h:81/a.png:0\""}));
    EXPECT_TRUE(fetcher.requests.empty());
    EXPECT_EQ(Show(code, {.pictureUrls = true}), (V{"wait:1:/prog/skin/wait_image.gif"}));
    ASSERT_EQ(fetcher.requests.size(), 1u);
    EXPECT_EQ(fetcher.requests[0].source, "http://h:81/a.png");
}

// The server allows stored pictures only to senders with the power for
// them, and decides with CarriesStoredPicture: it must see a picture wherever
// a reader would show one (received lines are repaired, then expanded, then
// decoded), whatever the reader's face tags.
TEST_F(Decoder, ThePicturePowerCheckSeesWhatAReaderShows) {
    // A face table with a tag that swallows a voice clip's opening.
    CFaceTable odd;
    ASSERT_TRUE(odd.LoadFromText(R"(<r><faceconfig><face id="42" tag="/@$#" file="Face/42.png"/>
</faceconfig></r>)", "/prog/"));
    const std::string id255(255, 'p');
    const struct {
        std::string line;
        bool shown;    // with the usual faces
        bool checked;  // the server's verdict
    } cases[] = {
        {"@$#PIC:abc:0\"", true, true},
        {"@$#pic:abc:0\"", true, true},
        {"look @$#Pic:abc:0\" here", true, true},
        {"//@$#PIC:abc:0\"", true, true},
        {"/f[\"007\"]@$#pIC:abc:0\"/wx", true, true},
        {"@$#PIC:" + id255 + ":0\"", true, true},
        {"@$#PIC:" + id255 + "p:0\"", false, false},
        // A cut-off sequence in the id: one unit once repaired, 255 in all.
        {"@$#PIC:" + std::string(254, 'p') + "\xE4\xB8:0\"", true, true},
        {"@$#PIC:http://h/a.png:0\"", false, false},  // a URL is not shown in a user's line
        {"@$#PIC:http://h/@$#pic:abc:0\"", true, true},  // but the code inside it is
        {"@$#PIC:a b:0\"", false, false},
        {"@$#PIC:abc:0", false, false},
        {"@$#:voice1:", false, false},
        {"/c[\"@$#PIC:abc\"]", false, false},
        {"/c[\"x\"]@$#PIC:abc:0\"", true, true},
        {"plain // text", false, false},
        // A voice clip whose id runs into a picture code: a voice clip here,
        // a picture where a face tag takes the clip's opening.
        {"/@$#:v@$#pic:abc:0\"", false, true},
    };
    const auto readerShows = [&](const std::string& line, const CFaceTable& table) {
        const V shown = Show(ExpandFaceTags(text::RepairUtf8(line), table));
        return std::any_of(shown.begin(), shown.end(), [](const std::string& call) {
            return call.rfind("wait:", 0) == 0 || call.rfind("image:", 0) == 0;
        });
    };
    for (const auto& c : cases) {
        const bool checked = chatcode::CarriesStoredPicture(c.line);
        EXPECT_EQ(readerShows(c.line, faces), c.shown) << c.line;
        EXPECT_EQ(checked, c.checked) << c.line;
        if (readerShows(c.line, odd)) EXPECT_TRUE(checked) << c.line;
    }
    EXPECT_TRUE(readerShows("/@$#:v@$#pic:abc:0\"", odd));
}

TEST_F(Decoder, FailedDownloadsAreReportedAndMayBeTriedAgain) {
    RecordingSink sink;
    DecodeToView(sink, "@$#PIC:p1:0\"", {}, ctx);
    pictures.OnFetched("p1", false);
    EXPECT_EQ(sink.calls.back(), "fail:1");

    // Success claimed without a file is no success.
    DecodeToView(sink, "@$#PIC:p1:0\"", {}, ctx);
    EXPECT_EQ(fetcher.requests.size(), 2u);
    pictures.OnFetched("p1", true);
    EXPECT_EQ(sink.calls.back(), "fail:2");

    fetcher.accept = false;
    DecodeToView(sink, "@$#PIC:p2:0\"", {}, ctx);
    EXPECT_EQ(sink.calls.back(), "fail:3");
    EXPECT_EQ(pictures.PendingDownloads(), 0u);

    // A view that is gone is never called back.
    fetcher.accept = true;
    {
        RecordingSink gone;
        DecodeToView(gone, "@$#PIC:p3:0\"", {}, ctx);
        pictures.ForgetView(gone);
    }
    pictures.OnFetched("p3", false);
}

TEST_F(Decoder, PictureNamesFromTheNetworkNeverBecomePaths) {
    for (const std::string& id : std::vector<std::string>{"..", "a\\..\\..\\b", "http://h/../../x.png", ".hidden",
                                 "https://h/p.JPG?s=1", std::string(120, 'z')}) {
        const std::string dest = pictures.DestinationFor(id);
        const std::string name = dest.substr(dest.rfind('/') + 1);
        EXPECT_EQ(dest.substr(0, dest.rfind('/') + 1), dir.Path() + "Image/") << id;
        EXPECT_EQ(name.rfind("pic_", 0), 0u) << id;
    }
    EXPECT_NE(pictures.DestinationFor("http://a/1.png"), pictures.DestinationFor("http://b/1.png"));
    EXPECT_EQ(pictures.DestinationFor("https://h/p.JPG?s=1").substr(dir.Path().size() + 6 + 20),
              ".JPG");
}

TEST_F(Decoder, VoiceClipsAreRegisteredForPlaying) {
    EXPECT_EQ(Show("@$#:v9:@$#:w1:!"), (V{"voice:1:/prog/skin/chat_sound_normal.png",
                                          "voice:2:/prog/skin/chat_sound_normal.png", "text:!"}));
    EXPECT_EQ(voices.Find(1), "v9");
    EXPECT_EQ(voices.Find(2), "w1");
    EXPECT_FALSE(voices.Find(3));
}

TEST_F(Decoder, PlainViewWritesFacesAsTags) {
    CPlainChatSink plain;
    DecodeToView(plain, "a//f/f[\"012\"]@$#PIC:q:0\"@$#:v:", {}, ctx);
    EXPECT_EQ(plain.Text(), "a/f/微笑[图片][语音]");
}

TEST_F(Decoder, ComposedMessagesComeBackAsComposed) {
    CChatInputBuffer in;
    in.Text("a/b//").Face(7).Text("/wx@$#:").Face(12).Text("/");
    EXPECT_EQ(Show(EncodeInput(in)),
              (V{"text:a/b//", "face:7:/prog/skin/Face/7.png", "text:/wx@$#:",
                 "face:12:/prog/skin/Face/12.png", "text:/"}));
}
