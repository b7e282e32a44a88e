#pragma once
// Shared pieces of the chat tests: a face table, a view that records what it
// is asked to show, a temporary folder and a fetcher that remembers requests.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "chat/chat_pictures.h"
#include "chat/chat_sink.h"
#include "chat/face_table.h"

inline const char* const kFaceXml = R"(<?xml version="1.0" encoding="utf-8"?>
<faces>
<faceconfig item_width="24" item_height="24" zoom_width="64" zoom_height="64" row="8" col="12">
<face id="1" tip="smile" tag="/wx" text="[smile]" file="Face/1.png"/>
<face id="7" tip="laugh" tag="/ab" text="[laugh]" file="Face/7.png"/>
<face id="3" tip="a" tag="/a" text="[a]" file="Face/3.png"/>
<face id="12" tip="微笑" tag="/微笑" text="[微笑]" file="Face\12.png"/>
<face id="1" tip="shadow" tag="/zz" text="[zz]" file="Face/shadow.png"/>
</faceconfig>
</faces>
)";

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "zeri-chat-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data()) ? tmpl + "/" : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }
    void Write(const std::string& rel, const std::string& bytes) const {
        const std::filesystem::path p = path_ + rel;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }

private:
    std::string path_;
};

// One line per call, so tests compare whole renderings.
class RecordingSink : public IChatSink {
public:
    void AppendText(std::string_view run, const ChatTextFormat& f) override {
        calls.push_back("text:" + std::string(run) + (f.bold ? " (bold)" : ""));
    }
    void AppendFace(const FaceEntry& face) override {
        calls.push_back("face:" + std::to_string(face.id) + ":" + face.imagePath);
    }
    void AppendImage(const std::string& path) override { calls.push_back("image:" + path); }
    void AppendPlaceholder(ChatObjectKey key, const std::string& waiting) override {
        calls.push_back("wait:" + std::to_string(key) + ":" + waiting);
    }
    void ReplacePlaceholder(ChatObjectKey key, const std::string& path) override {
        calls.push_back("replace:" + std::to_string(key) + ":" + path);
    }
    void FailPlaceholder(ChatObjectKey key) override { calls.push_back("fail:" + std::to_string(key)); }
    void AppendVoiceClip(ChatObjectKey key, const std::string& icon) override {
        calls.push_back("voice:" + std::to_string(key) + ":" + icon);
    }
    std::vector<std::string> calls;
};

class RecordingFetcher : public IPictureFetcher {
public:
    bool Fetch(const std::string& source, const std::string& destination) override {
        requests.push_back({source, destination});
        return accept;
    }
    struct Request {
        std::string source, destination;
    };
    std::vector<Request> requests;
    bool accept = true;
};

inline CFaceTable TestFaces(const std::string& folder = "/prog/") {
    CFaceTable t;
    EXPECT_TRUE(t.LoadFromText(kFaceXml, folder));
    return t;
}
