#include "gui/main/system_icons.h"

#include <QApplication>
#include <QDir>
#include <QStringList>
#include <QStyle>

namespace tw {

QIcon SystemIcons::icon(int index) {
  if (index <= 0) return {};
  const auto found = cache.constFind(index);
  if (found != cache.cend()) return *found;
  QIcon result;
  const QString names = QString::fromStdString(platform.iconName(index));
  for (const QString& name : names.split(u';', Qt::SkipEmptyParts)) {
    if (QIcon::hasThemeIcon(name)) {
      result = QIcon::fromTheme(name);
      break;
    }
  }
  if (result.isNull() && !names.isEmpty() && qApp != nullptr) {
    const bool folder = names.contains(QStringLiteral("folder")) || names.contains(QStringLiteral("drive"));
    result = QApplication::style()->standardIcon(folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
  }
  cache.insert(index, result);
  return result;
}

void SystemIcons::chooseIconTheme() {
  // Some platform plugins (offscreen, minimal) give no search paths: use the XDG ones.
  QStringList paths = QIcon::themeSearchPaths();
  QStringList dataDirs = qEnvironmentVariable("XDG_DATA_DIRS").split(u':', Qt::SkipEmptyParts);
  if (dataDirs.isEmpty()) dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
  const QString home =
      qEnvironmentVariable("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
  dataDirs.prepend(home);
  for (const QString& dir : dataDirs) {
    const QString icons = dir + QStringLiteral("/icons");
    if (!paths.contains(icons)) paths.append(icons);
  }
  QIcon::setThemeSearchPaths(paths);
  QIcon::setThemeName(QStringLiteral("Adwaita"));
  QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
}

}  // namespace tw
