// Code text in and out: composing, the plain form and typed tags.
#include "chat/chat_code.h"
#include "chat/chat_input.h"
#include "chat/code_text.h"
#include "platform/text/text.h"
#include "tests/chat/chat_test_support.h"

TEST(EncodeInput, TextFacesAndPicturesBecomeCodes) {
    CChatInputBuffer in;
    in.Text("a/b").Face(7).Picture("/home/u/p.png");
    EXPECT_EQ(EncodeInput(in), "a//b/f[\"007\"]/c[\"/home/u/p.png\"]");

    CChatInputBuffer more;
    more.Foreign().Text("//").Face(1234).Text("x").Face(0);
    EXPECT_EQ(EncodeInput(more), "/////f[\"1234\"]x/f[\"000\"]");
}

TEST(EncodeInput, ObjectsThatNoCodeCanCarrySendNothing) {
    CChatInputBuffer in;
    in.Text("a").Face(-1).Picture("").Picture("/tmp/x\"]y.png").Picture("/tmp/a\nb.png").Text("b");
    EXPECT_EQ(EncodeInput(in), "ab");
}

TEST(ToPlainText, FacesBecomeTheirTagsAndOtherCodesStay) {
    const CFaceTable faces = TestFaces();
    CChatInputBuffer in;
    in.Text("a/b").Face(7).Picture("/p.png");
    const std::string code = EncodeInput(in);
    const std::string plain = ToPlainText(code, faces);
    EXPECT_EQ(plain, "a/b/ab/c[\"/p.png\"]");
    EXPECT_EQ(text::Utf16Length(ToPlainText("a//b/f[\"007\"]", faces)), 6u);

    EXPECT_EQ(ToPlainText("x/f[\"099\"]y", faces), "xy");          // no such face
    EXPECT_EQ(ToPlainText("/f[\"1\"/f[\"7\"]", faces), "/f[\"1\"/ab");  // first one not closed
    EXPECT_EQ(ToPlainText("@$#PIC:abc:0\" ///", faces), "@$#PIC:abc:0\" //");
    EXPECT_EQ(ToPlainText("/f[\"012\"]", faces), "/微笑");
}

TEST(ExpandFaceTags, TypedTagsBecomeFaceCodes) {
    const CFaceTable faces = TestFaces();
    // The tag at the end, in other letter case.
    EXPECT_EQ(ExpandFaceTags("hi /WX", faces), "hi /f[\"001\"]");
    // The shortest tag that matches wins.
    EXPECT_EQ(ExpandFaceTags("/ab", faces), "/f[\"003\"]b");
    EXPECT_EQ(ExpandFaceTags("/微笑!", faces), "/f[\"012\"]!");
    EXPECT_EQ(ExpandFaceTags("/w /q / (x)", faces), "/w /q / (x)");
    EXPECT_EQ(ExpandFaceTags("/wx/wx", faces), "/f[\"001\"]/f[\"001\"]");
}

TEST(ExpandFaceTags, DoubledSlashesStillGiveTheFaceAndTheTextSurvives) {
    const CFaceTable faces = TestFaces();
    // "/wx" typed as text travels as "//wx" and still shows the face.
    EXPECT_EQ(ExpandFaceTags("//wx", faces), "/f[\"001\"]");
    // "//" then "/wx": one literal slash, then the face.
    EXPECT_EQ(ExpandFaceTags("///wx", faces), "///f[\"001\"]");
    // A typed face code stays typed text.
    EXPECT_EQ(ExpandFaceTags("//f[\"001\"]", faces), "//f[\"001\"]");
    EXPECT_EQ(ExpandFaceTags("////", faces), "////");
}

TEST(ExpandFaceTags, CompleteCodesAreNotBrokenUp) {
    const CFaceTable faces = TestFaces();
    for (const char* code : {"@$#PIC:http://h:80/wx/a.png:0\"", "/c[\"/home/wx/a.png\"]",
                             "/f[\"001\"]", "@$#:/wx:"}) {
        // The voice id holds a slash, so it is no code and its tag expands.
        const bool isCode = std::string(code).rfind("@$#:", 0) != 0;
        EXPECT_EQ(ExpandFaceTags(code, faces) == code, isCode) << code;
    }
    CFaceTable none;
    EXPECT_EQ(ExpandFaceTags("/wx", none), "/wx");
}

TEST(ChatCodes, ReadersAcceptOnlyCompleteCodes) {
    using namespace chatcode;
    EXPECT_EQ(ReadFace("/f[\"007\"]", 0)->id, 7);
    EXPECT_EQ(ReadFace("x/f[\"2147483647\"]", 1)->id, 2147483647);
    for (const char* bad : {"/f[\"\"]", "/f[\"2147483648\"]", "/f[\"00000000001\"]", "/f[\"7\"",
                            "/f[\"7", "/f[\"-7\"]", "/f[7]", "/f(\"7\")", "/F[\"7\"]"})
        EXPECT_FALSE(ReadFace(bad, 0)) << bad;

    EXPECT_EQ(ReadStoredPicture("@$#pic:abc:0\"", 0)->value, "abc");
    EXPECT_EQ(ReadStoredPicture("@$#PIC:https://h:8/a.png:0\"x", 0)->length, 27u);
    const std::string longId(256, 'a');
    for (const std::string& bad : std::vector<std::string>{"@$#PIC:abc:0", "@$#PIC::0\"", "@$#PIC:a b:0\"", "@$#PIC:",
                                  "@$#PIC:a\"b:0\"", "@$#PIC:" + longId + ":0\""})
        EXPECT_FALSE(ReadStoredPicture(bad, 0)) << bad;
    EXPECT_TRUE(ReadStoredPicture("@$#PIC:" + longId.substr(1) + ":0\"", 0));

    EXPECT_EQ(ReadVoiceClip("@$#:v12:rest", 0)->value, "v12");
    EXPECT_EQ(ReadVoiceClip("@$#:v12:rest", 0)->length, 8u);
    for (const std::string& bad : std::vector<std::string>{"@$#:v12", "@$#::", "@$#:../x:", "@$#:a/b:", "@$#:..:",
                                  "@$#:" + std::string(64, '1') + ":"})
        EXPECT_FALSE(ReadVoiceClip(bad, 0)) << bad;

    EXPECT_EQ(ReadLocalPicture("/c[\"C:\\a b.png\"]", 0)->value, "C:\\a b.png");
    for (const char* bad : {"/c[\"\"]", "/c[\"/a.png\"", "/c[\"/a\n.png\"]"})
        EXPECT_FALSE(ReadLocalPicture(bad, 0)) << bad;
    const std::string path(kMaxLocalPathBytes, 'p');
    EXPECT_EQ(ReadLocalPicture("/c[\"" + path + "\"]", 0)->value, path);
    EXPECT_FALSE(ReadLocalPicture("/c[\"" + path + "p\"]", 0));
}

TEST(ChatCodes, WritersRefuseWhatReadersWouldNotGiveBack) {
    using namespace chatcode;
    EXPECT_EQ(MakeStoredPicture("abc"), "@$#PIC:abc:0\"");
    EXPECT_EQ(MakeStoredPicture(""), "");
    EXPECT_EQ(MakeStoredPicture("a:0\"b"), "");
    EXPECT_EQ(MakeVoiceClip("9f"), "@$#:9f:");
    EXPECT_EQ(MakeVoiceClip("a:b"), "");
    EXPECT_EQ(MakeFace(5), "/f[\"005\"]");
    EXPECT_EQ(MakeFace(-2), "");
}
