// The service worker: keeps every file of the edition, so that after one visit the page
// works without a network. A new build (another version) replaces the kept files.
"use strict";

// Filled in by the build (web/build.mjs): the files and the version of their contents.
const kFiles = self.OMBRIX_FILES;
const kCache = `ombrix-${self.OMBRIX_VERSION}`;

self.addEventListener("install", (event) => {
  event.waitUntil(caches.open(kCache).then((cache) => cache.addAll(kFiles)).then(() => self.skipWaiting()));
});

self.addEventListener("activate", (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n.startsWith("ombrix-") && n !== kCache).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

// The kept file first (the address without its query), the network otherwise.
self.addEventListener("fetch", (event) => {
  const url = new URL(event.request.url);
  if (event.request.method !== "GET" || url.origin !== location.origin) return;
  event.respondWith(caches.open(kCache).then((cache) =>
    cache.match(event.request, { ignoreSearch: true }).then((kept) => kept || fetch(event.request))));
});
