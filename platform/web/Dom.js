// The page side of the browser backend: DOM elements for windows and controls, text measuring, the
// page's key and mouse events handed to the program, timers and the beep. Linked with
// --js-library; everything the C++ side calls is a function of the form tr_*, and it calls back
// through the exported tapirun_* functions. The tests' own side is TestDom.js.

mergeInto(LibraryManager.library, {
  // The drill's tests link the driver too and run under Node.js, which has no page.
  $TR__postset: "if (typeof document !== 'undefined') TR.init();",
  $TR: {
    elements: [null],
    zTop: 10,
    audio: null,
    bell: null,
    askedFullScreen: false,
    drag: null,
    ended: false,
    // CSS pixels a pixel of the program takes: its factor over the page's pixel ratio (tr_scale).
    k: 1,
    scaled: false,
    changing: false,
    ratioQuery: null,
    faces: {
      'ＭＳ Ｐゴシック': '"Tapirun PGothic"',
      'ＭＳ ゴシック': '"Tapirun Gothic"',
      'ＭＳ Ｐ明朝': '"Tapirun PMincho"',
      'ＭＳ 明朝': '"Tapirun Mincho"',
    },
    init: function () {
      TR.canvas = document.createElement('canvas');
      TR.measure = TR.canvas.getContext('2d');
      TR.desktop = document.getElementById('desktop') || document.body;
    },
    // A picture that is not stretched keeps its own size at the box's top-left corner, as the
    // desktop draws an icon; any other element fills its box.
    size: function (el, width, height) {
      var natural = el.trPicture && !el.trStretch;
      el.style.width = (natural ? el.width : width) + 'px';
      el.style.height = (natural ? el.height : height) + 'px';
    },
    add: function (el) {
      TR.elements.push(el);
      el.trHandle = TR.elements.length - 1;
      return el.trHandle;
    },
    rgb: function (c) {
      return 'rgb(' + (c & 255) + ',' + ((c >> 8) & 255) + ',' + ((c >>> 16) & 255) + ')';
    },
    font: function (face, height, bold) {
      var family = TR.faces[face] || ('"' + face + '", "Tapirun PGothic"');
      return (bold ? 'bold ' : '') + height + 'px ' + family;
    },
    // The first gesture of any kind makes the sound's context and asks for the full screen; both
    // need a gesture, and making the context inside a wrong key's handler would delay its paint. A
    // refused request (a key that is no gesture, as Escape) is asked again at the next one; once
    // granted, or where the page covers the screen already, it is never asked again.
    gesture: function () {
      if (!TR.audio && Module.audio) TR.audio = Module.audio;
      if (!TR.audio && (window.AudioContext || window.webkitAudioContext)) {
        try {
          TR.audio = new (window.AudioContext || window.webkitAudioContext)();
        } catch (e) {
          TR.audio = null;
        }
      }
      if (TR.audio && !TR.bell) TR.makeBell(TR.audio);
      if (!TR.askedFullScreen && !Module.askedFullScreen && !TR.ended) {
        TR.askedFullScreen = true;
        // A kiosk, or a browser already in full screen, covers the screen: asking again would
        // only show the browser's note on how to leave it.
        if (!TR.covering()) TR.askFullScreen().catch(function () { TR.askedFullScreen = false; });
      }
    },
    // The bell's tone, made once and running silent: a miss only opens its gain for the tone's
    // length, where making and connecting two nodes at each miss took the main thread in the key's
    // own task.
    makeBell: function (a) {
      try {
        var o = a.createOscillator(), g = a.createGain();
        o.type = 'square';
        o.frequency.value = 880;
        g.gain.value = 0;
        o.connect(g);
        g.connect(a.destination);
        o.start();
        TR.bell = {context: a, gain: g.gain};
      } catch (e) {
        TR.bell = null;
      }
    },
    // Full screen as the page's start-up script asks for it (with the prefixed interface where only
    // it exists), or the standard interface alone.
    askFullScreen: function () {
      if (typeof Module.askFullScreen === 'function') return Module.askFullScreen();
      var root = document.documentElement;
      return root.requestFullscreen && document.fullscreenEnabled ? root.requestFullscreen()
        : Promise.reject(new Error('no full screen'));
    },
    // The screen changed: the program lays its windows out again for it. A change the program
    // noticed first, asking for the screen in a handler, is told to it the same way at once after.
    screenChanged: function () {
      if (TR.ended) return;
      TR.changing = true;
      try {
        Module._tapirun_resized();
      } finally {
        TR.changing = false;
      }
    },
    fullScreenElement: function () {
      return document.fullscreenElement || document.webkitFullscreenElement || null;
    },
    // Where each character of a line starts, and its end last: whole pixels, each character as wide
    // as its advance rounded.
    fonts: [],
    advances: {},
    places: function (font, chars) {
      var table = TR.advances[font];
      if (!table) table = TR.advances[font] = {};
      var out = [0], x = 0;
      for (var i = 0; i < chars.length; ++i) {
        var a = table[chars[i]];
        if (a === undefined) {
          TR.measure.font = font;
          a = table[chars[i]] = Math.round(TR.measure.measureText(chars[i]).width);
        }
        x += a;
        out.push(x);
      }
      return out;
    },
    // Full screen, a kiosk or an installed app, as the page's start-up script tells them; asked
    // again only when the page's size or full screen changes, not at every key.
    coveringNow: null,
    covering: function () {
      if (TR.coveringNow === null)
        TR.coveringNow = typeof Module.covering === 'function' ? Module.covering() : !!TR.fullScreenElement();
      return TR.coveringNow;
    },
    modifiers: function (e) {
      var altGraph = e.getModifierState && e.getModifierState('AltGraph');
      return (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0) | (altGraph ? 8 : 0) |
        (e.metaKey ? 16 : 0);
    },
    // A typed character as its code point; keys that type nothing as negative numbers.
    // The codes of the keys that type nothing, by name, as the program gives them (tr_listen).
    codes: null,
    composed: 0,
    other: 0,
    keyCode: function (e) {
      // An input method composing takes the key for itself.
      if (e.isComposing || e.key === 'Process' || e.keyCode === 229) return TR.composed;
      var chars = Array.from(e.key);
      if (chars.length === 1) return chars[0].codePointAt(0);
      return TR.codes.has(e.key) ? TR.codes.get(e.key) : TR.other;
    },
    onKey: function (e) {
      if (TR.ended) return;
      TR.gesture();
      if (!TR.keyFrame) {
        TR.keyFrame = true;
        requestAnimationFrame(function () {
          TR.keyFrame = false;
        });
      }
      // The program decides which keys the browser keeps; the key goes to the window holding the
      // element it came to.
      var frame = TR.windowOf(e.target);
      if (Module._tapirun_key(TR.keyCode(e), TR.modifiers(e), TR.covering() ? 1 : 0, frame ? frame.trHandle : 0) & 1)
        e.preventDefault();
    },
    // A key's frame carries what the learner looks at. The browser redraws one rectangle round all
    // that changed in a frame, so the bar along the bottom edge, emptied by the same key as the new
    // target or moved by a tick before the key's frame is drawn, would stretch that frame from the
    // target box down to the edge: until the key's frame is drawn, the bar's new fill waits for the
    // frame after it, and a fill set later replaces one still waiting.
    keyFrame: false,
    later: null,
    transformAfterKeyFrame: function (el, css) {
      if (!TR.keyFrame) {
        if (TR.later) TR.later.delete(el);
        if (el.style.transform !== css) el.style.transform = css;
        return;
      }
      if (!TR.later) {
        TR.later = new Map();
        requestAnimationFrame(function () {
          requestAnimationFrame(TR.writeLater);
        });
      }
      TR.later.set(el, css);
    },
    writeLater: function () {
      var waiting = TR.later;
      TR.later = null;
      if (waiting) waiting.forEach(function (css, el) { if (el.style.transform !== css) el.style.transform = css; });
    },
    // A text is changed in its own text node where it has one, which the browser lays out again
    // without taking the node out of the tree and making a new one.
    setText: function (el, text) {
      var node = el.firstChild;
      if (text && node && node === el.lastChild && node.nodeType === 3) node.data = text;
      else el.textContent = text;
    },
    controlOf: function (target) {
      for (var el = target; el && el !== document; el = el.parentNode)
        if (el.trControl) return el;
      return null;
    },
    windowOf: function (target) {
      for (var el = target; el && el !== document; el = el.parentNode)
        if (el.trFrame) return el;
      return null;
    },
    onMouseDown: function (e) {
      if (TR.ended) return;
      TR.gesture();
      var frame = TR.windowOf(e.target);
      if (!frame) return;
      e.preventDefault();
      if (e.target.trCloseBox) return;
      // The caption bar is the pointer events' (onPointerDown).
      if (TR.onCaption(e.target)) return;
      var control = TR.controlOf(e.target);
      if (!control) return;
      // The page stands in for the window manager: a person's press brings the window pressed to
      // the front and gives it the keyboard before the control hears it. The tests' own presses
      // reach the control alone, as on the desktop backends.
      if (e.isTrusted) Module._tapirun_activate(frame.trHandle);
      Module._tapirun_mouse(0, control.trHandle, e.button, e.detail, e.clientX, e.clientY);
    },
    onMouseUp: function (e) {
      if (TR.ended) return;
      // The side buttons would step through the browser's history.
      if (e.button > 2) e.preventDefault();
      if (TR.onCaption(e.target)) return;
      var control = TR.controlOf(e.target);
      Module._tapirun_mouse(1, control ? control.trHandle : 0, e.button, e.detail, e.clientX, e.clientY);
    },
    onCaption: function (target) {
      return !!target && !target.trCloseBox && (!!target.trCaption || (!!target.parentNode && !!target.parentNode.trCaption));
    },
    // A dialog is dragged by its caption bar with a mouse, a pen or a finger: the bar holds the
    // pointer until it is lifted, and the program keeps the box inside the page.
    onPointerDown: function (e) {
      if (TR.ended || !TR.onCaption(e.target)) return;
      var frame = TR.windowOf(e.target);
      if (!frame) return;
      TR.gesture();
      e.preventDefault();
      Module._tapirun_activate(frame.trHandle);
      if (e.button !== 0 || TR.drag) return;
      TR.drag = {frame: frame, pointer: e.pointerId, bar: e.target, x: e.clientX / TR.k - frame.offsetLeft,
                y: e.clientY / TR.k - frame.offsetTop};
      try {
        e.target.setPointerCapture(e.pointerId);
      } catch (err) {}
    },
    onPointerMove: function (e) {
      var d = TR.drag;
      if (!d || TR.ended || e.pointerId !== d.pointer) return;
      Module._tapirun_drag(d.frame.trHandle, Math.round(e.clientX / TR.k - d.x), Math.round(e.clientY / TR.k - d.y));
    },
    onPointerUp: function (e) {
      if (TR.drag && e.pointerId === TR.drag.pointer) TR.drag = null;
    },
    onClick: function (e) {
      // A click with no press before it is a screen reader's press of a button.
      if (e.detail === 0 && !TR.ended && !e.target.trCloseBox) {
        var pressed = TR.controlOf(e.target);
        if (pressed && pressed.getAttribute('role') === 'button') Module._tapirun_press(pressed.trHandle);
        return;
      }
      if (e.target.trCloseBox && !TR.ended) {
        var frame = TR.windowOf(e.target);
        if (frame) Module._tapirun_close(frame.trHandle);
      }
    },
  },

  tr_window_create__deps: ['$TR'],
  tr_window_create: function (dialog, caption, width, height) {
    var frame = document.createElement('div');
    frame.className = dialog ? 'tr-window tr-dialog' : 'tr-window tr-main';
    frame.trFrame = true;
    frame.style.display = 'none';
    if (dialog) {
      var bar = document.createElement('div');
      bar.className = 'tr-caption';
      bar.trCaption = true;
      var title = document.createElement('span');
      title.textContent = UTF8ToString(caption);
      bar.appendChild(title);
      var close = document.createElement('div');
      close.className = 'tr-close';
      close.trCloseBox = true;
      close.setAttribute('role', 'button');
      close.setAttribute('aria-label', '閉じる');
      bar.appendChild(close);
      frame.appendChild(bar);
      frame.trTitle = title;
      frame.setAttribute('role', 'dialog');
    } else {
      frame.setAttribute('role', 'application');
    }
    frame.setAttribute('aria-label', UTF8ToString(caption));
    var client = document.createElement('div');
    client.className = 'tr-client';
    client.trControl = true;
    client.trLeft = 0;
    client.trTop = 0;
    client.trWidth = width;
    client.trHeight = height;
    client.style.width = width + 'px';
    client.style.height = height + 'px';
    frame.appendChild(client);
    frame.trClient = client;
    // The screen readers' live region is there, empty, before its first line: a region made
    // together with its text is often not read. One politeness: a line interrupts the one before.
    var live = frame.trLive = document.createElement('div');
    live.className = 'tr-live';
    live.setAttribute('aria-live', 'assertive');
    live.setAttribute('aria-atomic', 'true');
    frame.appendChild(live);
    TR.desktop.appendChild(frame);
    var handle = TR.add(frame);
    TR.add(client);
    return handle;
  },

  tr_window_destroy__deps: ['$TR'],
  tr_window_destroy: function (frame) {
    var el = TR.elements[frame];
    if (el && el.parentNode) el.parentNode.removeChild(el);
  },

  tr_window_client__deps: ['$TR'],
  tr_window_client: function (frame) {
    return TR.elements[frame].trClient.trHandle;
  },

  tr_window_show__deps: ['$TR'],
  tr_window_show: function (frame, shown) {
    TR.elements[frame].style.display = shown ? '' : 'none';
  },

  tr_window_move__deps: ['$TR'],
  tr_window_move: function (frame, left, top) {
    var el = TR.elements[frame];
    el.style.left = left + 'px';
    el.style.top = top + 'px';
  },

  tr_window_raise__deps: ['$TR'],
  tr_window_raise: function (frame) {
    TR.elements[frame].style.zIndex = ++TR.zTop;
  },

  tr_window_active__deps: ['$TR'],
  tr_window_active: function (frame, active) {
    TR.elements[frame].classList.toggle('tr-active', !!active);
  },

  tr_element_create__deps: ['$TR'],
  tr_element_create: function (parent, kind, windowed) {
    var tags = ['div', 'div', 'canvas', 'div', 'div', 'div'];
    var el = document.createElement(tags[kind]);
    el.className = 'tr-c tr-k' + kind;
    el.trControl = true;
    if (windowed) el.style.zIndex = 1;
    TR.elements[parent].appendChild(el);
    return TR.add(el);
  },

  tr_place__deps: ['$TR'],
  tr_place: function (handle, left, top, width, height) {
    var el = TR.elements[handle];
    if (el.trLeft !== left) el.style.left = left + 'px';
    if (el.trTop !== top) el.style.top = top + 'px';
    var resized = el.trWidth !== width || el.trHeight !== height;
    el.trLeft = left;
    el.trTop = top;
    el.trWidth = width;
    el.trHeight = height;
    if (resized) TR.size(el, width, height);
  },

  tr_show__deps: ['$TR'],
  tr_show: function (handle, shown) {
    var style = TR.elements[handle].style, display = shown ? '' : 'none';
    if (style.display !== display) style.display = display;
  },

  tr_background__deps: ['$TR'],
  tr_background: function (handle, colour) {
    var el = TR.elements[handle];
    if (el.trBackground === colour) return;
    el.trBackground = colour;
    el.style.backgroundColor = colour < 0 ? 'transparent' : TR.rgb(colour);
  },

  // Text drawn in lines of one character height; centred is the caption of a panel or button. Each
  // character of a label sits at a whole pixel, as the desktop's hinted fonts place them.
  tr_text__deps: ['$TR'],
  tr_text: function (handle, text, fontNumber, colour, centred, underlineLine, underlineAt) {
    var el = TR.elements[handle];
    var whole = UTF8ToString(text);
    var lines = whole.split('\n');
    var font = TR.fonts[fontNumber].font, height = TR.fonts[fontNumber].height;
    // Only what changed is written: the font shorthand would reset the line height each time.
    var was = el.trWritten || (el.trWritten = {});
    if (was.font !== font || was.height !== height) {
      el.style.font = font;
      el.style.lineHeight = height + 'px';
      was.font = font;
      was.height = height;
    }
    if (was.colour !== colour) {
      el.style.color = TR.rgb(colour);
      was.colour = colour;
    }
    var box = el.trText;
    if (!box) {
      box = el.trText = document.createElement('div');
      box.className = centred ? 'tr-caption-text' : 'tr-lines';
      el.insertBefore(box, el.firstChild);
      // A button is read by its label, and a plain panel's caption lies under the labels on it:
      // either way the caption itself is never read.
      if (centred) box.setAttribute('aria-hidden', 'true');
      if (!centred) {
        // The characters stand at their own places for the eye; a screen reader gets the text whole.
        box.setAttribute('aria-hidden', 'true');
        el.trSpoken = document.createElement('span');
        el.trSpoken.className = 'tr-spoken';
        el.appendChild(el.trSpoken);
        el.trSpans = [];
      }
    }
    if (centred) {
      if (was.text !== whole) TR.setText(box, whole);
      was.text = whole;
      return;
    }
    if (was.text !== whole) TR.setText(el.trSpoken, whole);
    was.text = whole;
    // Each character keeps its span from one text to the next; only the ones that differ change.
    var spans = el.trSpans, n = 0;
    for (var i = 0; i < lines.length; ++i) {
      var chars = Array.from(lines[i]);
      var places = TR.places(font, chars);
      for (var k = 0; k < chars.length; ++k, ++n) {
        var span = spans[n];
        if (!span) {
          span = spans[n] = document.createElement('span');
          span.trState = {};
          box.appendChild(span);
        }
        var st = span.trState, left = places[k] + 'px', top = i * height + 'px';
        var underline = i === underlineLine && k === underlineAt ? 'underline' : '';
        if (st.text !== chars[k]) TR.setText(span, st.text = chars[k]);
        if (st.left !== left) span.style.left = st.left = left;
        if (st.top !== top) span.style.top = st.top = top;
        if (st.underline !== underline) span.style.textDecoration = st.underline = underline;
      }
    }
    while (spans.length > n) box.removeChild(spans.pop());
  },

  // A font is named once, by the number the program gives it; its advances are asked one
  // character at a time, each once.
  tr_font__deps: ['$TR'],
  tr_font: function (fontNumber, face, height, bold) {
    TR.fonts[fontNumber] = {font: TR.font(UTF8ToString(face), height, bold), height: height};
  },

  tr_advance__deps: ['$TR'],
  tr_advance: function (fontNumber, character) {
    return TR.places(TR.fonts[fontNumber].font, [String.fromCodePoint(character)])[1];
  },

  tr_cursor__deps: ['$TR'],
  tr_cursor: function (handle, hand) {
    TR.elements[handle].style.cursor = hand ? 'pointer' : 'default';
  },

  tr_tooltip__deps: ['$TR'],
  tr_tooltip: function (handle, text) {
    var s = UTF8ToString(text);
    var el = TR.elements[handle];
    if (s) el.title = s;
    else el.removeAttribute('title');
  },

  tr_bevel__deps: ['$TR'],
  tr_bevel: function (handle, kind) {
    var el = TR.elements[handle];
    var names = ['', 'tr-sunken', 'tr-well', 'tr-raised', 'tr-raised tr-default'];
    el.classList.remove('tr-sunken', 'tr-well', 'tr-raised', 'tr-default');
    if (kind) names[kind].split(' ').forEach(function (n) { el.classList.add(n); });
  },

  // The fill is the whole inside of the bar, scaled from its left edge: a tick then changes only a
  // transform, which the browser's compositor carries out with no layout, paint or raster of the
  // page, where a new width was laid out and painted on the main thread 33 times a second.
  tr_fill__deps: ['$TR'],
  tr_fill: function (handle, width, colour) {
    var el = TR.elements[handle];
    var bar = el.trBar;
    if (!bar) {
      bar = el.trBar = document.createElement('div');
      bar.className = 'tr-bar';
      bar.style.backgroundColor = TR.rgb(colour);
      el.appendChild(bar);
    }
    var full = Math.max(el.trWidth - 2, 0);
    if (bar.trFull !== full) bar.style.width = (bar.trFull = full) + 'px';
    TR.transformAfterKeyFrame(bar, 'scaleX(' + (full ? width / full : 0) + ')');
  },

  tr_value__deps: ['$TR'],
  tr_value: function (handle, value) {
    TR.elements[handle].setAttribute('aria-valuenow', value);
  },

  // A role, a name and a description for screen readers, as readerView gives them.
  tr_describe__deps: ['$TR'],
  tr_describe: function (handle, role, name, description) {
    var el = TR.elements[handle];
    var r = UTF8ToString(role), n = UTF8ToString(name), h = UTF8ToString(description);
    if (r) el.setAttribute('role', r);
    if (n) el.setAttribute('aria-label', n);
    // Described again when the hint changes: a hint gone takes its description with it.
    if (h) el.setAttribute('aria-description', h);
    else el.removeAttribute('aria-description');
    if (r === 'button') el.tabIndex = -1;
    if (r === 'progressbar') {
      el.setAttribute('aria-valuemin', '0');
      el.setAttribute('aria-valuemax', '100');
      if (!el.hasAttribute('aria-valuenow')) el.setAttribute('aria-valuenow', '0');
    }
  },

  // Whether a control takes clicks, and a toggle's state (-1: not a toggle), for screen readers.
  tr_state__deps: ['$TR'],
  tr_state: function (handle, enabled, pressed) {
    var el = TR.elements[handle];
    if (enabled) el.removeAttribute('aria-disabled');
    else el.setAttribute('aria-disabled', 'true');
    if (pressed >= 0) el.setAttribute('aria-pressed', pressed ? 'true' : 'false');
  },

  // One line for screen readers, through the window's live region, which nothing draws. A line
  // equal to the one before is still a new announcement: a space after it tells them apart.
  tr_announce__deps: ['$TR'],
  tr_announce: function (frameHandle, text) {
    var region = TR.elements[frameHandle].trLive;
    var line = UTF8ToString(text);
    TR.setText(region, region.textContent === line ? line + '\u00a0' : line);
  },

  // The keyboard focus, on an element no press ever gives it to (presses are the program's).
  tr_focus__deps: ['$TR'],
  tr_focus: function (handle) {
    var el = TR.elements[handle];
    if (!el || TR.ended) return;
    if (!el.hasAttribute('tabindex')) el.tabIndex = -1;
    try {
      el.focus({preventScroll: true});
    } catch (e) {}
  },

  // One line across the top of the page, outside the program's windows; empty hides it.
  tr_hint__deps: ['$TR'],
  tr_hint: function (text) {
    var line = UTF8ToString(text);
    var hint = TR.hint;
    if (!hint) {
      if (!line) return;
      hint = TR.hint = document.createElement('div');
      hint.className = 'tr-hint';
      hint.setAttribute('role', 'alert');
      document.body.appendChild(hint);
    }
    hint.textContent = line;
    hint.style.display = line ? '' : 'none';
  },

  // Pixels as 0x00BBGGRR with a see-through flag per pixel.
  tr_picture__deps: ['$TR'],
  tr_picture: function (handle, width, height, pixels, clear, stretch) {
    var el = TR.elements[handle];
    el.width = width;
    el.height = height;
    var g = el.getContext('2d');
    var image = g.createImageData(width, height);
    for (var i = 0; i < width * height; ++i) {
      var c = HEAPU32[(pixels >> 2) + i];
      image.data[4 * i] = c & 255;
      image.data[4 * i + 1] = (c >> 8) & 255;
      image.data[4 * i + 2] = (c >> 16) & 255;
      image.data[4 * i + 3] = HEAPU8[clear + i] ? 0 : 255;
    }
    g.putImageData(image, 0, 0);
    el.trPicture = true;
    el.trStretch = !!stretch;
    TR.size(el, el.trWidth, el.trHeight);
  },

  // The radio group: an etched frame through the middle of the caption line, the caption on the
  // group's colour over it, and one column of items; rects holds left, top, width, height per item.
  tr_radio__deps: ['$TR'],
  tr_radio: function (handle, caption, items, count, rects, selected, focused, fontNumber, colour, background) {
    var el = TR.elements[handle];
    var labels = UTF8ToString(items).split('\n');
    var font = TR.fonts[fontNumber].font, height = TR.fonts[fontNumber].height;
    // Shown again with nothing changed (as every change of focus asks): nothing is written.
    var key = [UTF8ToString(caption), labels.join('\n'), selected, focused, font, colour, background,
               Array.prototype.slice.call(HEAP32, rects >> 2, (rects >> 2) + 4 * count).join(',')].join('\u0001');
    if (el.trRadioKey === key) return;
    el.trRadioKey = key;
    var box = el.trItems;
    if (!box) {
      box = el.trItems = [];
      var frame = document.createElement('div');
      frame.className = 'tr-etched';
      el.appendChild(frame);
      el.trFrameLine = frame;
      el.trCaptionBox = document.createElement('span');
      el.trCaptionBox.className = 'tr-group-caption';
      el.appendChild(el.trCaptionBox);
      for (var i = 0; i < count; ++i) {
        var item = document.createElement('div');
        item.className = 'tr-item';
        item.trItem = i;
        var mark = document.createElement('span');
        mark.className = 'tr-mark';
        var text = document.createElement('span');
        text.className = 'tr-item-text';
        item.appendChild(mark);
        item.appendChild(text);
        item.setAttribute('role', 'radio');
        el.appendChild(item);
        box.push(item);
      }
      el.setAttribute('role', 'radiogroup');
    }
    el.style.font = font;
    el.style.color = TR.rgb(colour);
    el.trFrameLine.style.top = Math.floor(height / 2) + 'px';
    el.trCaptionBox.textContent = UTF8ToString(caption);
    el.trCaptionBox.style.backgroundColor = TR.rgb(background);
    el.trCaptionBox.style.lineHeight = height + 'px';
    el.setAttribute('aria-label', el.trCaptionBox.textContent);
    var h32 = rects >> 2;
    for (var j = 0; j < count; ++j) {
      var it = box[j];
      var r = [HEAP32[h32 + 4 * j], HEAP32[h32 + 4 * j + 1], HEAP32[h32 + 4 * j + 2], HEAP32[h32 + 4 * j + 3]];
      it.style.left = r[0] + 'px';
      it.style.top = r[1] + 'px';
      it.style.width = r[2] + 'px';
      it.style.height = r[3] + 'px';
      it.style.lineHeight = r[3] + 'px';
      it.lastChild.textContent = labels[j] || '';
      it.classList.toggle('tr-checked', j === selected);
      it.classList.toggle('tr-focus', j === selected && !!focused);
      it.setAttribute('aria-checked', j === selected ? 'true' : 'false');
    }
  },

  tr_contains__deps: ['$TR'],
  tr_contains: function (handle, x, y) {
    var r = TR.elements[handle].getBoundingClientRect();
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom ? 1 : 0;
  },

  // The point's place inside an element, whose left and top edges are found from the page.
  tr_offset_x__deps: ['$TR'],
  tr_offset_x: function (handle, x) {
    return Math.floor((x - TR.elements[handle].getBoundingClientRect().left) / TR.k);
  },
  tr_offset_y__deps: ['$TR'],
  tr_offset_y: function (handle, y) {
    return Math.floor((y - TR.elements[handle].getBoundingClientRect().top) / TR.k);
  },

  tr_viewport_width: function () {
    return document.documentElement.clientWidth || window.innerWidth;
  },
  tr_viewport_height: function () {
    return document.documentElement.clientHeight || window.innerHeight;
  },

  tr_device_pixel_ratio: function () {
    return window.devicePixelRatio || 1;
  },

  // The program is drawn at a whole factor of device pixels (the core decides it): the desktop
  // element is laid out in the program's pixels and scaled to factor / devicePixelRatio CSS pixels
  // each, so that every edge falls on a device pixel. A new ratio (a zoom, a window moved to a
  // monitor of another density) asks the program for its screen again, which draws it anew.
  tr_scale__deps: ['$TR'],
  tr_scale: function (factor, width, height) {
    var ratio = window.devicePixelRatio || 1, style = TR.desktop.style;
    TR.k = factor / ratio;
    style.transformOrigin = '0 0';
    style.transform = TR.k === 1 ? '' : 'scale(' + TR.k + ')';
    style.right = style.bottom = TR.k === 1 ? '' : 'auto';
    style.width = TR.k === 1 ? '' : width + 'px';
    style.height = TR.k === 1 ? '' : height + 'px';
    if (TR.scaled && !TR.changing) setTimeout(TR.screenChanged, 0);
    TR.scaled = true;
    if (TR.ratioQuery) TR.ratioQuery.removeEventListener('change', TR.screenChanged);
    if (!window.matchMedia) return;
    TR.ratioQuery = window.matchMedia('(resolution: ' + ratio + 'dppx)');
    TR.ratioQuery.addEventListener('change', TR.screenChanged);
  },

  tr_listen__deps: ['$TR'],
  tr_listen: function (names, codes, count, composed, other) {
    if (TR.listening) return;
    TR.listening = true;
    var named = UTF8ToString(names).split('\n');
    TR.codes = new Map();
    for (var i = 0; i < count; ++i) TR.codes.set(named[i], HEAP32[(codes >> 2) + i]);
    TR.composed = composed;
    TR.other = other;
    window.addEventListener('keydown', TR.onKey, true);
    document.addEventListener('mousedown', TR.onMouseDown, true);
    document.addEventListener('mouseup', TR.onMouseUp, true);
    document.addEventListener('pointerdown', TR.onPointerDown, true);
    document.addEventListener('pointermove', TR.onPointerMove, true);
    document.addEventListener('pointerup', TR.onPointerUp, true);
    document.addEventListener('pointercancel', TR.onPointerUp, true);
    document.addEventListener('click', TR.onClick, true);
    document.addEventListener('contextmenu', function (e) { e.preventDefault(); }, true);
    document.addEventListener('auxclick', function (e) { e.preventDefault(); }, true);
    window.addEventListener('resize', function () {
      TR.coveringNow = null;
      TR.screenChanged();
    });
    // In full screen Esc is a typed key like any other, where the browser lets the page take it
    // (Chromium's keyboard lock); elsewhere Esc leaves full screen and the page follows the resize.
    var fullScreenChanged = function () {
      TR.coveringNow = null;
      var k = navigator.keyboard;
      if (!k || !k.lock) return;
      if (TR.fullScreenElement()) k.lock(['Escape']).catch(function () {});
      else if (k.unlock) k.unlock();
    };
    document.addEventListener('fullscreenchange', fullScreenChanged);
    document.addEventListener('webkitfullscreenchange', fullScreenChanged);
  },

  tr_timer_set: function (id, delay) {
    return setTimeout(function () {
      Module._tapirun_timer(id);
    }, delay);
  },
  tr_timer_clear: function (handle) {
    clearTimeout(handle);
  },

  // A short square-wave tone, as a desktop bell sounds.
  tr_beep__deps: ['$TR'],
  tr_beep: function () {
    var a = TR.audio;
    if (!a) return;
    try {
      // Suspended, or interrupted by a call, Siri or a locked screen (Safari): resumed.
      if (a.state !== 'running' && a.resume) {
        var resumed = a.resume();
        if (resumed && resumed.catch) resumed.catch(function () {});
      }
      if (!TR.bell || TR.bell.context !== a) TR.makeBell(a);
      if (!TR.bell) return;
      var gain = TR.bell.gain, now = a.currentTime;
      gain.cancelScheduledValues(now);
      gain.setValueAtTime(0.08, now);
      gain.setValueAtTime(0, now + 0.09);
    } catch (e) {}
  },

  tr_decimal_separator: function () {
    try {
      var parts = new Intl.NumberFormat(navigator.language).formatToParts(1.5);
      for (var i = 0; i < parts.length; ++i)
        if (parts[i].type === 'decimal') return parts[i].value.codePointAt(0);
    } catch (e) {}
    return 46;
  },

  // What is left when the program has ended: no timers, no full screen, and a note on the page.
  tr_end__deps: ['$TR'],
  tr_end: function () {
    TR.ended = true;
    if (typeof Module.leaveFullScreen === 'function') Module.leaveFullScreen();
    else if (document.fullscreenElement && document.exitFullscreen) document.exitFullscreen().catch(function () {});
    TR.desktop.textContent = '';
    var note = document.createElement('div');
    note.id = 'ended';
    note.setAttribute('role', 'status');
    // Written as elements: the page writes no HTML strings, which Trusted Types would refuse.
    [['Tapirun を終了しました。'], ['もう一度始めるには、このページを再読み込みしてください（F5）。'],
     ['Tapirun has ended. Reload this page (F5) to start again.', 'en']].forEach(function (line) {
      var p = document.createElement('p');
      p.textContent = line[0];
      if (line[1]) p.lang = line[1];
      note.appendChild(p);
    });
    TR.desktop.appendChild(note);
    if (typeof Module.onEnded === 'function') Module.onEnded();
  },

});
