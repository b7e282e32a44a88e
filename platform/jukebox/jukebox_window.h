#pragma once
// The music player's window: a playlist kept in memory, play/pause, stop,
// previous/next, a seeking progress bar, a volume bar and the current lyric
// line. A 100 ms timer polls the player for its position, moves the bar,
// hands lyric lines to the owner's callback (on the UI thread) and goes on
// to the next song when one ends or cannot be played. Closing the window
// only hides it: the music plays on until the owner releases the player.

#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>

#include "platform/jukebox/jukebox_decoder.h"
#include "platform/jukebox/lyric_cursor.h"

class QLabel;
class QListWidget;
class QPushButton;
class QSlider;
class QTimer;

namespace jukebox {

// One lyric line (index in the song's sorted lyrics, its time, UTF-8 text);
// index -1 with an empty text clears.
using LyricCallback = void (*)(int index, int timeMs, const char* text, void* context);

class CJukeboxWindow : public QWidget {
public:
    static constexpr int kPollMs = 100;

    CJukeboxWindow(LyricCallback callback, void* context, const wavedev::Options& devices);
    ~CJukeboxWindow() override;

    // What the buttons do, also for tests (no file dialog needed).
    void AddSongs(const QStringList& paths);
    void RemoveSong(int row);
    void PlayRow(int row);
    void TogglePause();
    void StopSong();
    void PlayNext();
    void PlayPrevious();
    void SeekTo(int positionMs);
    void SetVolume(int percent);

    int SongCount() const;
    int CurrentRow() const { return current_; }
    SongStatus Status() const { return decoder_->Status(); }
    QString LyricText() const;
    QString NoticeText() const;
    QString TimeText() const;

private:
    void Build();
    void ChooseSongs();
    void Poll();
    void ShowProgress(const SongStatus& status);
    void ShowPauseButton(bool playing);
    void Announce(int index);
    void ClearLyric();
    QString SongPath(int row) const;

    const LyricCallback callback_;
    void* const context_;
    std::unique_ptr<CJukeboxDecoder> decoder_;
    CLyricCursor cursor_;
    int current_ = -1;  // playlist row playing (or paused), -1 none
    int song_ = 0;      // the decoder's number for it
    bool playing_ = false;
    int failedInARow_ = 0;
    bool movingBar_ = false;  // the timer moves the bar: not a seek

    QListWidget* list_ = nullptr;
    QPushButton* playPause_ = nullptr;
    QSlider* progress_ = nullptr;
    QSlider* volume_ = nullptr;
    QLabel* time_ = nullptr;
    QLabel* lyric_ = nullptr;
    QLabel* notice_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace jukebox
