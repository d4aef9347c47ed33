#include "Appcast.h"

#include <QVersionNumber>
#include <QXmlStreamReader>

namespace tonvara {

namespace {

constexpr auto kSparkleNamespace = "http://www.andymatuschak.org/xml-namespaces/sparkle";

bool isSparkle(const QXmlStreamReader& reader, QStringView name) {
  return reader.namespaceUri() == QLatin1String(kSparkleNamespace) && reader.name() == name;
}

// Reads one <item>; the reader stands on its start element and ends on its end element.
AppcastItem readItem(QXmlStreamReader& reader) {
  AppcastItem item;
  QString version;
  QString shortVersion;
  while (reader.readNextStartElement()) {
    if (reader.namespaceUri().isEmpty() && reader.name() == u"title") {
      item.title = reader.readElementText().trimmed();
    } else if (reader.namespaceUri().isEmpty() && reader.name() == u"link") {
      item.releaseNotesUrl = QUrl(reader.readElementText().trimmed());
    } else if (isSparkle(reader, u"version")) {
      version = reader.readElementText().trimmed();
    } else if (isSparkle(reader, u"shortVersionString")) {
      shortVersion = reader.readElementText().trimmed();
    } else if (reader.namespaceUri().isEmpty() && reader.name() == u"enclosure") {
      const auto attributes = reader.attributes();
      item.downloadUrl = QUrl(attributes.value(QLatin1String("url")).toString());
      if (version.isEmpty()) {
        version =
            attributes.value(QLatin1String(kSparkleNamespace), QLatin1String("version")).toString();
      }
      if (shortVersion.isEmpty()) {
        shortVersion =
            attributes.value(QLatin1String(kSparkleNamespace), QLatin1String("shortVersionString"))
                .toString();
      }
      reader.skipCurrentElement();
    } else {
      reader.skipCurrentElement();
    }
  }
  item.version = version.isEmpty() ? shortVersion : version;
  item.displayVersion = shortVersion.isEmpty() ? item.version : shortVersion;
  return item;
}

}  // namespace

std::optional<std::vector<AppcastItem>> parseAppcast(const QByteArray& document) {
  QXmlStreamReader reader(document);
  if (!reader.readNextStartElement() || reader.name() != u"rss") {
    return std::nullopt;
  }
  std::vector<AppcastItem> items;
  while (!reader.atEnd()) {
    reader.readNext();
    if (reader.isStartElement() && reader.name() == u"item") {
      auto item = readItem(reader);
      if (!item.version.isEmpty()) {
        items.push_back(std::move(item));
      }
    }
  }
  if (reader.hasError() || items.empty()) {
    return std::nullopt;
  }
  return items;
}

std::optional<AppcastItem> newestItem(const std::vector<AppcastItem>& items) {
  const AppcastItem* newest = nullptr;
  for (const auto& item : items) {
    if (newest == nullptr || compareVersions(item.version, newest->version) > 0) {
      newest = &item;
    }
  }
  return newest != nullptr ? std::optional(*newest) : std::nullopt;
}

int compareVersions(const QString& a, const QString& b) {
  qsizetype suffixA = 0;
  qsizetype suffixB = 0;
  const auto numbersA = QVersionNumber::fromString(a, &suffixA).normalized();
  const auto numbersB = QVersionNumber::fromString(b, &suffixB).normalized();
  if (const int order = QVersionNumber::compare(numbersA, numbersB); order != 0) {
    return order;
  }
  const auto restA = QStringView(a).mid(suffixA);
  const auto restB = QStringView(b).mid(suffixB);
  if (restA.isEmpty() != restB.isEmpty()) {
    return restA.isEmpty() ? 1 : -1;
  }
  return restA.compare(restB);
}

}  // namespace tonvara
