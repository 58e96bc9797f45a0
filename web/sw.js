// The service worker: keeps every file of the page's folder so that the page, once opened,
// opens and plays without a network (and can be added to a phone's home screen).
//
// The build puts two lines in front of this file: `const FILES = [...]`, every file of the
// folder (the page, its scripts, the engine module, the map picture, the demo set, the
// manifest and icons), and a comment with a digest of their bytes, so that a rebuild changes
// this script and the browser installs it again.
//
// Network first: a file comes from the server, revalidated (never a stale HTTP cache copy
// after a rebuild), and the copy kept is replaced; only when the server cannot be reached is
// the kept copy used. A navigation to the folder falls back to index.html.
const CACHE = 'mixorama';

self.addEventListener('install', (event) => {
  event.waitUntil((async () => {
    const cache = await caches.open(CACHE);
    await cache.addAll(FILES.map((f) => new Request(f, { cache: 'no-cache' })));
    await self.skipWaiting();
  })());
});

self.addEventListener('activate', (event) => event.waitUntil(self.clients.claim()));

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(networkFirst(event, request));
});

async function networkFirst(event, request) {
  const cache = await caches.open(CACHE);
  try {
    // A navigation request cannot be copied with other options: fetch its address instead.
    const response = await fetch(request.mode === 'navigate' ? request.url : request,
      { cache: 'no-cache' });
    if (response.ok) event.waitUntil(cache.put(request, response.clone()));
    return response;
  } catch (offline) {
    const kept = (await cache.match(request, { ignoreSearch: true })) ??
      (request.mode === 'navigate' ? await cache.match('index.html') : undefined);
    if (kept) return kept;
    throw offline;
  }
}
