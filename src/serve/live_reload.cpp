// SPDX-License-Identifier: GPL-3.0-or-later
#include "serve/live_reload.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quillane {

namespace {

// Kept to what every browser of the last years runs, in a function of its own so that the page
// sees no new name. Besides the page itself, what it loaded (performance entries: stylesheets,
// scripts, pictures, fonts, also those a stylesheet pulls in) and what its elements name count
// as its own. Before reloading it keeps the scroll position for the page to come back to.
constexpr char kScript[] = R"js(<script>
(function () {
  'use strict';
  var served = '@ID@', page = location.pathname, mark = 'quillane-scroll ' + page, wait = 250;
  try {
    var at = sessionStorage.getItem(mark);
    if (at) {
      sessionStorage.removeItem(mark);
      addEventListener('load', function () {
        scrollTo(Number(at.split(' ')[0]), Number(at.split(' ')[1]));
      });
    }
  } catch (e) {}
  function pathOf(url) {
    try {
      var u = new URL(url, document.baseURI);
      return u.origin === location.origin ? decodeURIComponent(u.pathname) : null;
    } catch (e) {
      return null;
    }
  }
  function uses(paths) {
    var mine = [pathOf(location.href)];
    if (window.performance && performance.getEntriesByType) {
      performance.getEntriesByType('resource').forEach(function (entry) {
        mine.push(pathOf(entry.name));
      });
    }
    var named = document.querySelectorAll('link[href],script[src],img[src],source[src],video[poster]');
    Array.prototype.forEach.call(named, function (element) {
      mine.push(pathOf(element.getAttribute('href') || element.getAttribute('src') ||
                       element.getAttribute('poster')));
    });
    return paths.some(function (path) { return mine.indexOf(path) >= 0; });
  }
  function reload() {
    try {
      sessionStorage.setItem(mark, scrollX + ' ' + scrollY);
    } catch (e) {}
    location.reload();
  }
  function connect() {
    var socket;
    try {
      socket = new WebSocket((location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host +
                             '@LIVE@?page=' + encodeURIComponent(page));
    } catch (e) {
      return;
    }
    socket.onopen = function () { wait = 250; };
    socket.onmessage = function (event) {
      var message;
      try {
        message = JSON.parse(event.data);
      } catch (e) {
        return;
      }
      if ((message.hello && message.hello !== served) || (message.reload && uses(message.reload)))
        reload();
    };
    socket.onclose = function () {
      setTimeout(connect, wait);
      wait = Math.min(wait * 2, 4000);
    };
  }
  connect();
})();
</script>
)js";

} // namespace

QByteArray liveReloadTag(const QByteArray& serverId) {
    return QByteArray(kScript).replace("@ID@", serverId).replace("@LIVE@", kLivePath);
}

QByteArray helloMessage(const QByteArray& serverId) {
    return QJsonDocument(QJsonObject{{QStringLiteral("hello"), QString::fromLatin1(serverId)}})
        .toJson(QJsonDocument::Compact);
}

QByteArray reloadMessage(const QStringList& urlPaths) {
    return QJsonDocument(
               QJsonObject{{QStringLiteral("reload"), QJsonArray::fromStringList(urlPaths)}})
        .toJson(QJsonDocument::Compact);
}

} // namespace quillane
