#pragma once

#include <QString>
#include <QStringList>

namespace tonvara::MediaKeyHolders {

// What the session looks like, as far as who may hold the media keys is concerned.
struct Session {
  QStringList processNames;  // the short names of running processes (/proc/<pid>/comm)
  QString currentDesktop;    // XDG_CURRENT_DESKTOP
  QString sessionType;       // XDG_SESSION_TYPE
};

Session currentSession();

// A short title and a paragraph telling the user which program holds the media keys (or which
// probably does) and how to free them.
struct Advice {
  QString title;
  QString body;
};

Advice adviceFor(const Session& session);

}  // namespace tonvara::MediaKeyHolders
