#pragma once

#include <QObject>
#include <QString>

#include <map>
#include <memory>

class QSoundEffect;

namespace engine {

// Plays the program's wave files without waiting. A missing file or a machine without a sound
// device plays nothing and never a system default sound.
class SoundPlayer final : public QObject
{
    Q_OBJECT

public:
    explicit SoundPlayer(QString programDir, QObject* parent = nullptr);
    ~SoundPlayer() override;

    // Returns false when the file is not there; the sound itself plays in the background.
    bool PlayWaveFile(const QString& fileName);

    void setMuted(bool muted) { m_muted = muted; }
    int playCount() const { return m_playCount; }

private:
    QString m_programDir;
    std::map<QString, QSoundEffect*> m_effects;
    bool m_muted = false;
    int m_playCount = 0;
};

} // namespace engine
