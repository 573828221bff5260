#include "mainwindow/ui/system_icons.h"

#include <QApplication>
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
  QIcon::setThemeName(QStringLiteral("Adwaita"));
  QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
}

}  // namespace tw
