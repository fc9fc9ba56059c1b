// The tests' side of the browser backend, linked into the test programs only: pictures of a window
// as the browser itself draws it, and the tests' own events, made as the browser makes a person's.

mergeInto(LibraryManager.library, {
  $TRTEST__deps: ['$TR'],
  $TRTEST: {
    // The page's windows and notes other than the one pictured: on the desktop a window's picture
    // shows that window alone, whatever lies over it.
    others: '.tr-window, .tr-hint, #start, #ended',
    // Resolves with the RGBA pixels of the window's client area once the page has drawn it and the
    // test's driver (tests/web) has taken the browser's screenshot of it.
    picture: function (frame, client, width, height) {
      // A picture shows the page once the frame after a key's is drawn too, as a person sees it.
      TR.writeLater();
      var restore = [];
      document.querySelectorAll(TRTEST.others).forEach(function (el) {
        if (el === frame || el.style.visibility === 'hidden') return;
        restore.push([el, el.style.visibility]);
        el.style.visibility = 'hidden';
      });
      // A hidden window is pictured as the desktop's grab draws one: shown for the moment.
      var display = frame.style.display, parent = frame.parentNode;
      frame.style.display = '';
      if (!frame.isConnected) TR.desktop.appendChild(frame);
      restore.push([frame, frame.style.visibility]);
      frame.style.visibility = 'visible';
      // The program waits inside a test meanwhile; nothing of the page may run in it, as nothing
      // runs in a desktop program while it grabs a picture. A timer held back here is run by the
      // test's next processEvents.
      var entries = Object.keys(Module).filter(function (name) { return /^_tapirun_/.test(name); });
      var kept = entries.map(function (name) { return Module[name]; });
      entries.forEach(function (name) { Module[name] = function () { return 0; }; });
      // Every driver's screenshot draws the page as it stands when it is asked, so no frame need be
      // awaited: the page has only to return to the browser.
      return Promise.resolve().then(function () {
        // WIDTH and HEIGHT are device pixels, the screenshot's own: at a pixel ratio other than 1
        // the window takes that many device pixels for each of its CSS pixels.
        var ratio = devicePixelRatio;
        var r = client.getBoundingClientRect();
        var x = Math.max(0, Math.round(r.left)), y = Math.max(0, Math.round(r.top));
        var wanted = {x: x, y: y, width: Math.min(Math.round(r.left) + Math.ceil(width / ratio), innerWidth) - x,
                      height: Math.min(Math.round(r.top) + Math.ceil(height / ratio), innerHeight) - y};
        if (wanted.width <= 0 || wanted.height <= 0) return new Uint8ClampedArray(width * height * 4);
        return new Promise(function (resolve) {
          // The driver polls for the request, and answers with the PNG in base64 and the place of
          // its top-left corner in the viewport.
          window.tapirunWanted = wanted;
          window.tapirunGive = function (png, left, top) {
            window.tapirunWanted = null;
            window.tapirunGive = null;
            var bytes = Uint8Array.from(atob(png), function (ch) { return ch.charCodeAt(0); });
            var options = {premultiplyAlpha: 'none', colorSpaceConversion: 'none'};
            resolve(createImageBitmap(new Blob([bytes], {type: 'image/png'}), options).then(function (bitmap) {
              var c = document.createElement('canvas');
              c.width = width;
              c.height = height;
              var g = c.getContext('2d');
              g.drawImage(bitmap, Math.round((left - Math.round(r.left)) * ratio),
                          Math.round((top - Math.round(r.top)) * ratio));
              return g.getImageData(0, 0, width, height).data;
            }));
          };
        });
      }).finally(function () {
        entries.forEach(function (name, i) { Module[name] = kept[i]; });
        restore.forEach(function (r) { r[0].style.visibility = r[1]; });
        frame.style.display = display;
        if (!parent && frame.parentNode) frame.parentNode.removeChild(frame);
      });
    },
  },

  // A window's client area as the browser shows it; the pixels as 0x00BBGGRR, malloc'd, or 0 when
  // no picture came.
  tr_grab__deps: ['$TR', '$TRTEST', '$Asyncify', 'malloc'],
  tr_grab: function (frameHandle, clientHandle, width, height) {
    return Asyncify.handleSleep(function (wakeUp) {
      TRTEST.picture(TR.elements[frameHandle], TR.elements[clientHandle], width, height).then(function (data) {
        // RGBA bytes are 0xAABBGGRR words on a little-endian machine, as WebAssembly is.
        var out = _malloc(width * height * 4);
        HEAPU8.set(data, out);
        var words = HEAPU32.subarray(out >> 2, (out >> 2) + width * height);
        for (var i = 0; i < words.length; ++i) words[i] &= 0xffffff;
        try {
          wakeUp(out);
        } catch (e) {
          // The program went on to its end: exit unwinds the runtime by throwing.
          if (!(e instanceof ExitStatus)) throw e;
        }
      }, function (e) {
        err('grab: ' + e);
        wakeUp(0);
      });
    });
  },

  // The tests' events, made as the browser makes a person's and dispatched at the element under the
  // point, so that they pass through the page's own listeners.
  tr_test_key__deps: ['$TR'],
  tr_test_key: function (frame, key, modifiers) {
    var init = {
      key: UTF8ToString(key),
      bubbles: true,
      cancelable: true,
      shiftKey: !!(modifiers & 1),
      ctrlKey: !!(modifiers & 2),
      altKey: !!(modifiers & 4),
      metaKey: !!(modifiers & 16),
      modifierAltGraph: !!(modifiers & 8),
    };
    // At the window's own frame, as if its element held the focus.
    var target = TR.elements[frame] || document.activeElement || document.body;
    var down = new KeyboardEvent('keydown', init);
    target.dispatchEvent(down);
    target.dispatchEvent(new KeyboardEvent('keyup', init));
    return down.defaultPrevented ? 1 : 0;
  },

  tr_test_mouse__deps: ['$TR'],
  tr_test_mouse: function (clientHandle, down, x, y, button, element, detail) {
    var r = TR.elements[clientHandle].getBoundingClientRect();
    var target = element ? TR.elements[element] : document.body;
    var buttons = [1, 4, 2, 8, 16][button];
    target.dispatchEvent(new MouseEvent(down ? 'mousedown' : 'mouseup', {
      bubbles: true,
      cancelable: true,
      clientX: r.left + x * TR.k,
      clientY: r.top + y * TR.k,
      button: button,
      buttons: down ? buttons : 0,
      detail: detail,
    }));
  },

  // The tool-tip the browser shows over the element: the title nearest it, its own or one it lies in.
  tr_test_title__deps: ['$TR', '$stringToNewUTF8'],
  tr_test_title: function (element) {
    var el = TR.elements[element];
    var titled = el && el.closest('[title]');
    return stringToNewUTF8((titled && titled.getAttribute('title')) || '');
  },

  tr_test_close_box__deps: ['$TR'],
  tr_test_close_box: function (frame) {
    var close = TR.elements[frame].querySelector('.tr-close');
    close.dispatchEvent(new MouseEvent('click', {bubbles: true, cancelable: true}));
  },
});
