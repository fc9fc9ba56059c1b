// Starts the page's program once its faces are ready, so that every label is measured in the face
// it is drawn with, and, in an ordinary window, once the learner's first key or tap on the start
// screen has taken the page to full screen, so that the program starts at its final size. The page
// runs its own program and nothing a link names: the address's query is not read at all. A learner
// on a slow line sees a line saying that it loads, and a failure is said in one line instead of
// leaving the page black.
(function () {
  'use strict';
  // The program's script, named after its contents when the site is made (dist/web/site.py).
  var program = 'tapirun.js';
  var faces = ['Tapirun PGothic', 'Tapirun PMincho', 'Tapirun Mincho'];
  var started = false;
  var running = false;
  var reloading = false;
  // A browser that keeps no site data refuses service workers, some by throwing.
  var workers = null;
  try {
    workers = navigator.serviceWorker || null;
  } catch (e) {
    workers = null;
  }

  // Where the engine has Trusted Types, the page's two script addresses are the only ones it may
  // set: the program and the service worker.
  var scripts = null;
  try {
    if (window.trustedTypes && window.trustedTypes.createPolicy) {
      scripts = window.trustedTypes.createPolicy('tapirun', {
        createScriptURL: function (url) {
          if (url !== program && url !== 'sw.js') throw new TypeError('not a script of the page: ' + url);
          return url;
        },
      });
    }
  } catch (e) {
    scripts = null;
  }
  function scriptURL(url) {
    return scripts ? scripts.createScriptURL(url) : url;
  }

  // The line the page shows when this script never runs.
  var stalled = document.getElementById('stalled');
  if (stalled) stalled.remove();
  var note = document.createElement('p');
  note.id = 'loading';
  note.setAttribute('role', 'status');
  note.textContent = 'Tapirun を読み込んでいます…';
  document.body.appendChild(note);
  function say(line) {
    if (!note.isConnected) document.body.appendChild(note);
    note.textContent = line;
    note.className = 'failed';
  }
  var failed = 'Tapirun を読み込めませんでした。回線を確かめて、ページを開き直してください。';
  var tooOld = 'このブラウザーでは Tapirun を動かせません（WebAssembly を使えません）。';

  // A program file the host holds broken fails here before it could report anything itself.
  window.addEventListener('error', function () {
    if (!running && !reloading) say(failed);
  });
  // A browser that does not know the policy's 'wasm-unsafe-eval' refuses to compile the program.
  document.addEventListener('securitypolicyviolation', function (e) {
    if (!running && e.blockedURI === 'wasm-eval') say(tooOld);
  });

  // Full screen, through the prefixed interface where only it exists (Safari on an iPad).
  var root = document.documentElement;
  function fullScreenElement() {
    return document.fullscreenElement || document.webkitFullscreenElement || null;
  }
  function askFullScreen() {
    return new Promise(function (entered, refused) {
      var ask = root.requestFullscreen || root.webkitRequestFullscreen;
      if (!ask || !(document.fullscreenEnabled || document.webkitFullscreenEnabled))
        return refused(new Error('no full screen'));
      var asked;
      try {
        asked = ask.call(root);
      } catch (e) {
        return refused(e);
      }
      if (asked && typeof asked.then === 'function') return asked.then(entered, refused);
      // The prefixed interface answers with events instead.
      var answer = function (e) {
        document.removeEventListener('webkitfullscreenchange', answer);
        document.removeEventListener('webkitfullscreenerror', answer);
        if (e.type === 'webkitfullscreenerror') refused(new Error('full screen refused'));
        else entered();
      };
      document.addEventListener('webkitfullscreenchange', answer);
      document.addEventListener('webkitfullscreenerror', answer);
    });
  }
  function leaveFullScreen() {
    var leave = document.exitFullscreen || document.webkitExitFullscreen;
    if (!fullScreenElement() || !leave) return;
    try {
      var left = leave.call(document);
      if (left && typeof left.catch === 'function') left.catch(function () {});
    } catch (e) {}
  }
  // Full screen, a kiosk or an installed app, as the browser tells them: full screen itself and the
  // display modes, not a comparison of sizes, which the zoom changes in some engines and not in
  // others. An engine that knows no display mode at all (WebKitGTK's, in the kiosks built on it)
  // has nothing else to tell a kiosk by, and there a window as large as the screen is taken for
  // one: asking such a kiosk for full screen would lose it, since WebKit leaves full screen by
  // itself after a few typed keys, and the kiosk's own full screen with it.
  function covering() {
    var mode = function (m) {
      return !!window.matchMedia && window.matchMedia('(display-mode' + (m ? ': ' + m : '') + ')').matches;
    };
    if (fullScreenElement()) return true;
    if (mode('')) return mode('fullscreen') || mode('standalone');
    return window.innerWidth >= screen.width && window.innerHeight >= screen.height;
  }

  window.Module = {
    arguments: [],
    onRuntimeInitialized: function () {
      running = true;
      note.remove();
      // The service worker's copy is made once the program runs, not against it; a page it
      // served asks it for a new release at every start, which not every engine does by itself.
      if (workers) {
        try {
          var controlled = !!workers.controller;
          workers.register(scriptURL('sw.js')).then(function (registration) {
            if (controlled) return registration.update();
          }).catch(function () {});
        } catch (e) {}
      }
    },
    onAbort: function () {
      if (!reloading) say(failed);
    },
    covering: covering,
    askFullScreen: askFullScreen,
    leaveFullScreen: leaveFullScreen,
  };

  // A learner whose keyboard is not a JIS one is told so once, in one line that stops nothing: the
  // keyboard picture and the finger names are the JIS keyboard's. Chromium reads the layout on the
  // start screen; every engine tells it from the keys, by a key's place (its code) and the character
  // it typed. The characters a JIS keyboard types where the common layouts differ, unshifted and
  // shifted; the letters are told by their places.
  var jis = {
    Digit2: ['2', '"'], Digit6: ['6', '&'], Digit7: ['7', "'"], Digit8: ['8', '('], Digit9: ['9', ')'],
    Minus: ['-', '='], Equal: ['^', '~'], BracketLeft: ['@', '`'], BracketRight: ['[', '{'],
    Backslash: [']', '}'], Semicolon: [';', '+'], Quote: [':', '*'], IntlYen: ['\\¥', '|'], IntlRo: ['\\', '_'],
  };
  var layoutTold = false;
  var notJis = 'キーボードの配列が日本語（JIS）ではないため、キーの絵と実際のキーが合わないことがあります。';
  function tellLayout() {
    if (layoutTold) return;
    layoutTold = true;
    var line = document.createElement('p');
    line.id = 'layout-note';
    line.setAttribute('role', 'status');
    line.textContent = notJis;
    document.body.appendChild(line);
    setTimeout(function () {
      line.remove();
    }, 10000);
  }
  function typedOffJis(e) {
    var key = e.key || '';
    if (e.ctrlKey || e.altKey || e.metaKey || e.isComposing || key.length !== 1 || key > '~' && key !== '¥')
      return false;
    var letter = /^Key([A-Z])$/.exec(e.code || '');
    if (letter) return key.toUpperCase() !== letter[1];
    var expected = jis[e.code];
    return !!expected && expected[e.shiftKey ? 1 : 0].indexOf(key) < 0;
  }
  window.addEventListener('keydown', function (e) {
    if (!layoutTold && typedOffJis(e)) tellLayout();
  }, {capture: true, passive: true});

  // The start screen takes the first gesture, which full screen and sound both need: it enters
  // full screen where the browser allows it and makes the sound's context, and the program starts
  // once the page has its new size (or at the viewport's, where full screen is refused, to be
  // asked again at the next gesture). A page that covers the screen already starts at once, as the
  // desktop program does. It starts on a printable key, Space or Enter with no Ctrl, Alt or Meta
  // held, on a click, or on a touch or a pen lifted: those are what a browser counts as a gesture.
  // Modifiers alone, function keys, Escape and the browser's chords do nothing here and stay the
  // browser's.
  function startsOn(e) {
    if (e.type === 'keydown') {
      var altGraph = e.getModifierState && e.getModifierState('AltGraph');
      if (e.metaKey || (!altGraph && (e.ctrlKey || e.altKey))) return false;
      return e.key === 'Enter' || e.key === 'Process' || Array.from(e.key || '').length === 1;
    }
    if (e.type === 'pointerdown') return e.pointerType === 'mouse' && e.button === 0;
    return e.type === 'pointerup' && e.pointerType !== 'mouse';
  }
  var gestureTaken = new Promise(function (taken) {
    if (covering()) {
      taken();
      return;
    }
    var box = document.createElement('div');
    box.id = 'start';
    box.setAttribute('role', 'dialog');
    box.setAttribute('aria-label', 'Tapirun');
    box.tabIndex = -1;
    var line = function (text, className) {
      var p = document.createElement('p');
      p.textContent = text;
      if (className) p.className = className;
      box.appendChild(p);
      return p;
    };
    line('Tapirun', 'start-name');
    // A touch screen with no mouse or trackpad may still have a keyboard (an iPad's): the page
    // cannot know until a key comes.
    var touchOnly = window.matchMedia && window.matchMedia('(pointer: coarse)').matches &&
      !window.matchMedia('(any-pointer: fine)').matches;
    line(touchOnly ? 'キーを押すか、タップしてください' : 'キーを押すか、クリックしてください');
    var hint = line('', 'start-note');
    if (touchOnly) {
      hint.textContent = 'タイピング練習にはキーボードが要ります。キーボードがつながっていれば、キーを押すと始まります。';
    } else if (navigator.keyboard && navigator.keyboard.getLayoutMap) {
      navigator.keyboard.getLayoutMap().then(function (map) {
        // The JIS layout types ":" right of ";" and "@" right of "p".
        if (map.size && !(map.get('Quote') === ':' && map.get('BracketLeft') === '@') && !layoutTold) {
          layoutTold = true;
          hint.textContent = notJis;
        }
      }).catch(function () {});
    }
    document.body.appendChild(box);
    box.focus();
    var events = ['keydown', 'pointerdown', 'pointerup'];
    var begin = function (e) {
      if (!startsOn(e)) return;
      e.preventDefault();
      events.forEach(function (type) {
        window.removeEventListener(type, begin, true);
      });
      var Audio = window.AudioContext || window.webkitAudioContext;
      try {
        if (Audio) window.Module.audio = new Audio();
      } catch (err) {}
      // The new size arrives with the frames after full screen is entered.
      var settle = function () {
        requestAnimationFrame(function () {
          requestAnimationFrame(function () {
            box.remove();
            taken();
          });
        });
      };
      askFullScreen().then(function () {
        window.Module.askedFullScreen = true;
        settle();
      }, settle);
    };
    events.forEach(function (type) {
      window.addEventListener(type, begin, true);
    });
  });

  function start() {
    if (started || reloading) return;
    started = true;
    gestureTaken.then(load);
  }
  function load() {
    if (reloading) return;
    if (typeof WebAssembly !== 'object') {
      say('このブラウザーでは Tapirun を動かせません（WebAssembly がありません）。');
      return;
    }
    var script = document.createElement('script');
    script.src = scriptURL(program);
    script.onerror = function () {
      if (!reloading) say(failed);
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
  // before it; this page has not loaded its program yet, so it may start on the new one instead,
  // loaded whole from the top. A worker that does not answer within 3 s is told that the page keeps
  // its release, and the page goes on once the worker has said so; whatever comes, the page
  // reloads onto the new release only before its program is loaded, never after.
  if (!workers) {
    startWithFaces();
    return;
  }
  // Once the page has asked for its program it runs that release whole: the new worker still serves
  // the release before by name.
  function reload() {
    if (started || running || reloading) return;
    reloading = true;
    location.reload();
  }
  workers.getRegistration().then(function (registration) {
    var waiting = registration && registration.waiting;
    if (!waiting || !workers.controller) {
      startWithFaces();
      return;
    }
    workers.addEventListener('controllerchange', reload);
    workers.addEventListener('message', function (event) {
      if (event.data === 'release-refused' || event.data === 'release-kept') startWithFaces();
      // The new worker takes the page over: the change of controller reloads it.
      else if (event.data === 'release-granted') setTimeout(reload, 5000);
    });
    waiting.postMessage('use-waiting-release');
    setTimeout(function () {
      if (started || reloading) return;
      waiting.postMessage('keep-release');
      // A worker that never answers does not keep the program from starting.
      setTimeout(startWithFaces, 5000);
    }, 3000);
  }, startWithFaces);
})();
