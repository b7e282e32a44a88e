#pragma once
// The MP4 file of a recording: one H.264 track at a fixed frame rate and
// one AAC track, encoded here and interleaved by the container library.

#include <cstdint>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

class CRecordWriter {
public:
    CRecordWriter() = default;
    ~CRecordWriter();
    CRecordWriter(const CRecordWriter&) = delete;
    CRecordWriter& operator=(const CRecordWriter&) = delete;

    // Creates the file; quality 0..2 picks the encoders' rates.
    bool Open(const std::string& path, int width, int height, int fps, int quality, int rate,
              int channels);
    // A black picture of the record size to draw into.
    AVFrame* NewPicture() const;
    // The next output frame, at `ms` of the file, shows `picture`.
    bool WriteVideo(const AVFrame& picture, std::int64_t ms);
    // Interleaved 16-bit samples: AudioFrameSize() frames, fewer only last.
    bool WriteAudio(const std::int16_t* pcm, int frames);
    int AudioFrameSize() const { return audioFrameSize_; }
    // Drains both encoders and finishes the file; false when any write failed.
    bool Close();

private:
    bool Drain(AVCodecContext* codec, AVStream* stream);
    void Free();

    AVFormatContext* format_ = nullptr;
    AVCodecContext* video_ = nullptr;
    AVCodecContext* audio_ = nullptr;
    AVStream* videoStream_ = nullptr;
    AVStream* audioStream_ = nullptr;
    AVFrame* audioFrame_ = nullptr;
    AVPacket* packet_ = nullptr;
    std::int64_t audioPts_ = 0;
    int audioFrameSize_ = 1024;
    int channels_ = 1;
    int frameMs_ = 100;
    bool headerWritten_ = false;
    bool failed_ = false;
};
