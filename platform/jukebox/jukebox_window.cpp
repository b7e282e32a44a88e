#include "platform/jukebox/jukebox_window.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include "core/log.h"

namespace jukebox {

namespace {

const char* const kChooseTitle = "选择音乐";
const char* const kChooseFilter = "音乐文件(*.mp3 *.wav *.flac *.ogg *.m4a *.aac)";
const char* const kCannotPlay = "无法播放";
const char* const kPlayText = "播放";
const char* const kPauseText = "暂停";

// Dark like the room.
const char* const kStyle =
    "QWidget { background: #1e1f24; color: #e6e6e6; }"
    "QListWidget { background: #15161a; border: 1px solid #33353d; }"
    "QListWidget::item:selected { background: #3a5a8c; }"
    "QPushButton { background: #2c2e36; border: 1px solid #44474f; padding: 4px 10px; }"
    "QPushButton:hover { background: #3a3d47; }"
    "QSlider::groove:horizontal { height: 4px; background: #44474f; }"
    "QSlider::handle:horizontal { width: 10px; margin: -4px 0; background: #8fb4ff; }";

QString Clock(int ms) {
    const int s = std::max(ms, 0) / 1000;
    return QString::asprintf("%02d:%02d", s / 60, s % 60);
}

constexpr int kPathRole = Qt::UserRole;

}  // namespace

CJukeboxWindow::CJukeboxWindow(LyricCallback callback, void* context, const wavedev::Options& devices)
    : callback_(callback), context_(context), decoder_(std::make_unique<CJukeboxDecoder>(devices)) {
    Build();
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_->start(kPollMs);
}

CJukeboxWindow::~CJukeboxWindow() {
    timer_->stop();
    decoder_.reset();  // stops the music and joins its thread
    if (cursor_.shown() != CLyricCursor::kClear) ClearLyric();
}

void CJukeboxWindow::Build() {
    setObjectName("jukebox");
    setAttribute(Qt::WA_QuitOnClose, false);  // a hidden player never ends the program
    setWindowTitle("音乐播放器");
    setStyleSheet(kStyle);
    resize(360, 420);

    list_ = new QListWidget(this);
    list_->setObjectName("list_music");
    connect(list_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { PlayRow(list_->row(item)); });

    auto* add = new QPushButton("添加", this);
    auto* remove = new QPushButton("删除", this);
    connect(add, &QPushButton::clicked, this, [this] { ChooseSongs(); });
    connect(remove, &QPushButton::clicked, this, [this] { RemoveSong(list_->currentRow()); });

    auto* previous = new QPushButton("上一首", this);
    playPause_ = new QPushButton(kPlayText, this);
    playPause_->setObjectName("bnt_play");
    auto* stop = new QPushButton("停止", this);
    auto* next = new QPushButton("下一首", this);
    connect(previous, &QPushButton::clicked, this, [this] { PlayPrevious(); });
    connect(playPause_, &QPushButton::clicked, this, [this] { TogglePause(); });
    connect(stop, &QPushButton::clicked, this, [this] { StopSong(); });
    connect(next, &QPushButton::clicked, this, [this] { PlayNext(); });

    progress_ = new QSlider(Qt::Horizontal, this);
    progress_->setRange(0, 0);
    progress_->setPageStep(10);
    time_ = new QLabel(Clock(0) + "/" + Clock(0), this);
    connect(progress_, &QSlider::sliderMoved, this, [this](int s) {
        time_->setText(Clock(s * 1000) + "/" + Clock(progress_->maximum() * 1000));
    });
    connect(progress_, &QSlider::sliderReleased, this, [this] { SeekTo(progress_->value() * 1000); });
    // Clicks on the bar and keys move it without a drag.
    connect(progress_, &QSlider::valueChanged, this, [this](int s) {
        if (!movingBar_ && !progress_->isSliderDown()) SeekTo(s * 1000);
    });

    volume_ = new QSlider(Qt::Horizontal, this);
    volume_->setRange(0, 100);
    volume_->setValue(100);
    connect(volume_, &QSlider::valueChanged, this, [this](int v) { SetVolume(v); });

    lyric_ = new QLabel(this);
    lyric_->setAlignment(Qt::AlignCenter);
    lyric_->setStyleSheet("color: #ffd36b; font-size: 15px;");
    lyric_->setWordWrap(true);
    notice_ = new QLabel(this);
    notice_->setStyleSheet("color: #ff8080;");

    auto* editRow = new QHBoxLayout;
    editRow->addWidget(add);
    editRow->addWidget(remove);
    editRow->addStretch();
    auto* playRow = new QHBoxLayout;
    playRow->addWidget(previous);
    playRow->addWidget(playPause_);
    playRow->addWidget(stop);
    playRow->addWidget(next);
    auto* barRow = new QHBoxLayout;
    barRow->addWidget(progress_, 1);
    barRow->addWidget(time_);
    auto* volumeRow = new QHBoxLayout;
    volumeRow->addWidget(new QLabel("音量", this));
    volumeRow->addWidget(volume_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(editRow);
    layout->addWidget(lyric_);
    layout->addLayout(barRow);
    layout->addLayout(playRow);
    layout->addLayout(volumeRow);
    layout->addWidget(notice_);
}

void CJukeboxWindow::ChooseSongs() {
    const QStringList paths = QFileDialog::getOpenFileNames(this, kChooseTitle, QString(), kChooseFilter);
    AddSongs(paths);
}

void CJukeboxWindow::AddSongs(const QStringList& paths) {
    for (const QString& path : paths) {
        if (path.isEmpty()) continue;
        auto* item = new QListWidgetItem(QFileInfo(path).fileName(), list_);
        item->setData(kPathRole, path);
        item->setToolTip(path);
    }
}

void CJukeboxWindow::RemoveSong(int row) {
    if (row < 0 || row >= list_->count()) return;
    if (row == current_) {
        StopSong();
    } else if (row < current_) {
        --current_;
    }
    delete list_->takeItem(row);
}

int CJukeboxWindow::SongCount() const { return list_->count(); }

QString CJukeboxWindow::SongPath(int row) const {
    const QListWidgetItem* item = list_->item(row);
    return item ? item->data(kPathRole).toString() : QString();
}

void CJukeboxWindow::PlayRow(int row) {
    if (row < 0 || row >= list_->count()) return;
    current_ = row;
    list_->setCurrentRow(row);
    const QString path = SongPath(row);
    ClearLyric();
    cursor_.Reset(LoadLrc(LrcPathFor(path.toStdString())));
    song_ = decoder_->Play(path.toStdString());
    playing_ = true;
    ShowPauseButton(true);
    ShowProgress(decoder_->Status());
}

void CJukeboxWindow::TogglePause() {
    if (current_ < 0) {
        PlayRow(std::max(list_->currentRow(), 0));
        return;
    }
    playing_ = !playing_;
    decoder_->Pause(!playing_);
    ShowPauseButton(playing_);
}

void CJukeboxWindow::StopSong() {
    decoder_->Stop();
    current_ = -1;
    playing_ = false;
    failedInARow_ = 0;
    cursor_.Reset({});
    ClearLyric();
    ShowPauseButton(false);
    movingBar_ = true;
    progress_->setRange(0, 0);
    movingBar_ = false;
    time_->setText(Clock(0) + "/" + Clock(0));
}

void CJukeboxWindow::PlayNext() {
    if (list_->count() == 0) return;
    PlayRow(current_ + 1 < list_->count() ? current_ + 1 : 0);
}

void CJukeboxWindow::PlayPrevious() {
    if (list_->count() == 0) return;
    PlayRow(current_ > 0 ? current_ - 1 : list_->count() - 1);
}

void CJukeboxWindow::SeekTo(int positionMs) {
    if (current_ < 0) return;
    decoder_->Seek(positionMs);
}

void CJukeboxWindow::SetVolume(int percent) { decoder_->SetVolume(percent); }

QString CJukeboxWindow::LyricText() const { return lyric_->text(); }
QString CJukeboxWindow::NoticeText() const { return notice_->text(); }
QString CJukeboxWindow::TimeText() const { return time_->text(); }

void CJukeboxWindow::Poll() {
    if (current_ < 0) return;
    const SongStatus status = decoder_->Status();
    if (status.song != song_) return;
    switch (status.state) {
    case SongState::playing:
    case SongState::paused:
        failedInARow_ = 0;
        ShowProgress(status);
        for (int index : cursor_.Update(status.positionMs)) Announce(index);
        break;
    case SongState::ended:
        // On to the next song; after the last one the player stops.
        if (current_ + 1 < list_->count())
            PlayRow(current_ + 1);
        else
            StopSong();
        break;
    case SongState::failed: {
        const QString name = QFileInfo(SongPath(current_)).fileName();
        notice_->setText(QString("%1: %2").arg(kCannotPlay, name));
        log_msg("jukebox: %s: %s", name.toUtf8().constData(), status.error.c_str());
        // Every song failing in turn must not loop for ever.
        if (++failedInARow_ < list_->count()) {
            PlayNext();
        } else {
            StopSong();
        }
        break;
    }
    case SongState::idle:
    case SongState::opening:
        break;
    }
}

void CJukeboxWindow::ShowProgress(const SongStatus& status) {
    const int total = status.durationMs / 1000;
    if (progress_->isSliderDown()) return;  // the user is dragging it
    movingBar_ = true;
    if (progress_->maximum() != total) progress_->setRange(0, total);
    progress_->setValue(std::min(status.positionMs / 1000, total));
    movingBar_ = false;
    time_->setText(Clock(status.positionMs) + "/" + Clock(status.durationMs));
}

void CJukeboxWindow::ShowPauseButton(bool playing) { playPause_->setText(playing ? kPauseText : kPlayText); }

void CJukeboxWindow::Announce(int index) {
    const auto& lines = cursor_.lines();
    if (index < 0 || index >= static_cast<int>(lines.size())) {
        ClearLyric();
        return;
    }
    const LrcLine& line = lines[std::size_t(index)];
    lyric_->setText(QString::fromStdString(line.text));
    if (callback_) callback_(index, line.timeMs, line.text.c_str(), context_);
}

void CJukeboxWindow::ClearLyric() {
    lyric_->clear();
    if (callback_) callback_(CLyricCursor::kClear, 0, "", context_);
}

}  // namespace jukebox
