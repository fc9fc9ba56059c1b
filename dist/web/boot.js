// Starts the page's program once its faces are ready, so that every label is measured in the face
// it is drawn with. The page runs its own program and nothing a link names: the address's query is
// not read at all. A learner on a slow line sees a line saying that it loads, and a failure is said
// in one line instead of leaving the page black.
(function () {
  'use strict';
  var faces = ['Tapirun PGothic', 'Tapirun PMincho', 'Tapirun Mincho'];
  var started = false;
  // A browser that keeps no site data refuses service workers, some by throwing.
  var workers = null;
  try {
    workers = navigator.serviceWorker || null;
  } catch (e) {
    workers = null;
  }

  var note = document.createElement('p');
  note.id = 'loading';
  note.setAttribute('role', 'status');
  note.textContent = 'Tapirun を読み込んでいます…';
  document.body.appendChild(note);
  function say(line) {
    note.textContent = line;
    note.className = 'failed';
  }
  var failed = 'Tapirun を読み込めませんでした。回線を確かめて、ページを開き直してください。';

  // A program file the host holds broken fails here before it could report anything itself.
  var running = false;
  window.addEventListener('error', function () {
    if (!running) say(failed);
  });

  window.Module = {
    arguments: [],
    onRuntimeInitialized: function () {
      running = true;
      note.remove();
      // The service worker's copy is fetched once the program runs, not against it.
      if (workers) workers.register('sw.js').catch(function () {});
    },
    onAbort: function () {
      document.body.appendChild(note);
      say(failed);
    },
  };

  function start() {
    if (started) return;
    started = true;
    if (typeof WebAssembly !== 'object') {
      say('このブラウザーでは Tapirun を動かせません（WebAssembly がありません）。');
      return;
    }
    var script = document.createElement('script');
    script.src = 'tapirun.js';
    script.onerror = function () {
      say(failed);
    };
    document.body.appendChild(script);
  }

  function startWithFaces() {
    if (!document.fonts) return start();
    var loads = faces.map(function (face) {
      return document.fonts.load('16px "' + face + '"', 'あA');
    });
    Promise.all(loads).then(start, start);
  }

  // A release the service worker stored on an earlier visit waits until no page runs the one
  // before it; this page has not started its program yet, so it may start on the new one instead,
  // loaded whole from the top.
  if (!workers) {
    startWithFaces();
    return;
  }
  workers.getRegistration().then(function (registration) {
    var waiting = registration && registration.waiting;
    if (!waiting || !workers.controller) {
      startWithFaces();
      return;
    }
    workers.addEventListener('controllerchange', function () {
      if (started) return;
      started = true;
      location.reload();
    });
    workers.addEventListener('message', function (event) {
      if (event.data === 'release-refused') startWithFaces();
    });
    waiting.postMessage('use-waiting-release');
    // A worker that never answers does not keep the program from starting.
    setTimeout(startWithFaces, 3000);
  }, startWithFaces);
})();
