#include "SoundPlayer.h"

#include "Resources.h"

#include <QSoundEffect>
#include <QUrl>

namespace engine {

SoundPlayer::SoundPlayer(QString programDir, QObject* parent) : QObject(parent), m_programDir(std::move(programDir)) {}

SoundPlayer::~SoundPlayer() = default;

bool SoundPlayer::PlayWaveFile(const QString& fileName)
{
    const QString path = store::findSoundFile(fileName, m_programDir);
    if (path.isEmpty())
        return false;
    ++m_playCount;
    if (m_muted)
        return true;
    auto found = m_effects.find(path);
    if (found == m_effects.end()) {
        auto* effect = new QSoundEffect(this);
        effect->setSource(QUrl::fromLocalFile(path));
        found = m_effects.emplace(path, effect).first;
    }
    found->second->play();
    return true;
}

} // namespace engine
