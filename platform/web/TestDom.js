// The tests' side of the browser backend, linked into the test programs only: a model of what each
// element shows, kept up to date through the page side's hook; pictures of a window drawn from it
// onto a canvas; and the tests' own events, made as the browser makes a person's.

mergeInto(LibraryManager.library, {
  $TRTEST__deps: ['$TR'],
  $TRTEST__postset: 'TR.model = TRTEST.note;',
  $TRTEST: {
    note: function (el, what) {
      var d = el.trDraw || (el.trDraw = {});
      for (var k in what) d[k] = what[k];
    },
    paintRadio: function (g, r, x, y, w, h) {
      var shadow = 'rgb(128,128,128)', light = 'rgb(255,255,255)';
      var top = y + Math.floor(r.height / 2);
      g.fillStyle = shadow;
      g.fillRect(x, top, w - 1, 1); g.fillRect(x, top, 1, y + h - top - 1);
      g.fillRect(x + w - 2, top, 1, y + h - top - 1); g.fillRect(x, y + h - 2, w - 1, 1);
      g.fillStyle = light;
      g.fillRect(x + 1, top + 1, w - 3, 1); g.fillRect(x + 1, top + 1, 1, y + h - top - 3);
      g.fillRect(x + w - 1, top, 1, y + h - top); g.fillRect(x, y + h - 1, w, 1);
      g.font = r.font;
      g.textBaseline = 'middle';
      var cw = g.measureText(r.caption).width;
      g.fillStyle = TR.rgb(r.background);
      g.fillRect(x + 8, y, Math.ceil(cw) + 4, r.height);
      g.fillStyle = TR.rgb(r.colour);
      g.fillText(r.caption, x + 10, y + r.height / 2);
      for (var i = 0; i < r.rects.length; ++i) {
        var it = r.rects[i];
        var cx = x + it[0] + 6.5, cy = y + it[1] + it[3] / 2;
        g.beginPath();
        g.arc(cx, cy, 6, 0, 2 * Math.PI);
        g.fillStyle = light;
        g.fill();
        g.strokeStyle = shadow;
        g.stroke();
        if (i === r.selected) {
          g.beginPath();
          g.arc(cx, cy, 2.5, 0, 2 * Math.PI);
          g.fillStyle = 'rgb(0,0,0)';
          g.fill();
        }
        g.fillStyle = TR.rgb(r.colour);
        g.fillText(r.labels[i], x + it[0] + 17, cy);
      }
      g.textBaseline = 'alphabetic';
    },
    // Pictures of a window for the tests: each element drawn as its style shows it, children in
    // the order the page stacks them.
    paint: function (g, el, x, y) {
      if (el.style.display === 'none') return;
      var w = el.trWidth, h = el.trHeight;
      g.save();
      g.beginPath();
      g.rect(x, y, w, h);
      g.clip();
      var d = el.trDraw || {};
      if (d.background !== undefined && d.background >= 0) {
        g.fillStyle = TR.rgb(d.background);
        g.fillRect(x, y, w, h);
      }
      var line = function (x0, y0, x1, y1, c) {
        g.fillStyle = c;
        g.fillRect(x0, y0, x1 - x0 + 1, y1 - y0 + 1);
      };
      var shadow = 'rgb(128,128,128)', light = 'rgb(255,255,255)', dark = 'rgb(64,64,64)';
      var r = x + w - 1, b = y + h - 1;
      if (d.sunken) {
        line(x, y, r, y, shadow); line(x, y, x, b, shadow);
        line(r, y, r, b, light); line(x, b, r, b, light);
        line(x + 1, y + 1, r - 1, y + 1, light); line(x + 1, y + 1, x + 1, b - 1, light);
        line(r - 1, y + 1, r - 1, b - 1, shadow); line(x + 1, b - 1, r - 1, b - 1, shadow);
      }
      if (d.well) {
        line(x, y, r, y, shadow); line(x, y, x, b, shadow);
        line(r, y + 1, r, b, light); line(x + 1, b, r, b, light);
      }
      if (d.raised) {
        line(x, y, r, y, light); line(x, y, x, b, light);
        line(r, y, r, b, dark); line(x, b, r, b, dark);
        line(r - 1, y + 1, r - 1, b - 1, shadow); line(x + 1, b - 1, r - 1, b - 1, shadow);
      }
      if (d.fill) {
        g.fillStyle = TR.rgb(d.fill.colour);
        g.fillRect(x + 1, y + 1, d.fill.width, h - 2);
      }
      if (d.picture) {
        g.imageSmoothingEnabled = false;
        g.drawImage(d.picture, x, y, d.stretch ? w : d.picture.width, d.stretch ? h : d.picture.height);
      }
      if (d.lines) {
        // The ink is drawn white into a mask first and coloured after, so that a character has the
        // same shape in every colour: the browser's text smoothing otherwise depends on the colour.
        var mask = TRTEST.maskCanvas || (TRTEST.maskCanvas = document.createElement('canvas'));
        mask.width = w;
        mask.height = h;
        var mg = mask.getContext('2d');
        mg.font = d.font;
        mg.fillStyle = '#fff';
        mg.textBaseline = 'alphabetic';
        var m = mg.measureText('Ag');
        var ascent = m.fontBoundingBoxAscent, descent = m.fontBoundingBoxDescent;
        var top = d.centred ? Math.round((h - d.lineHeight) / 2) : 0;
        for (var i = 0; i < d.lines.length; ++i) {
          var baseline = Math.round(top + i * d.lineHeight + (d.lineHeight - ascent - descent) / 2 + ascent);
          if (d.centred) {
            mg.fillText(d.lines[i], (w - mg.measureText(d.lines[i]).width) / 2, baseline);
            continue;
          }
          var chars = Array.from(d.lines[i]);
          for (var k = 0; k < chars.length; ++k)
            mg.fillText(chars[k], d.places[i][k], baseline);
        }
        mg.globalCompositeOperation = 'source-in';
        mg.fillStyle = TR.rgb(d.colour);
        mg.fillRect(0, 0, w, h);
        g.drawImage(mask, x, y);
      }
      if (d.radio) TRTEST.paintRadio(g, d.radio, x, y, w, h);
      var kids = Array.prototype.slice.call(el.children);
      kids.sort(function (a, b2) {
        return (a.trWindowed ? 1 : 0) - (b2.trWindowed ? 1 : 0);
      });
      for (var k = 0; k < kids.length; ++k) {
        var kid = kids[k];
        if (kid.trWidth === undefined) continue;
        TRTEST.paint(g, kid, x + kid.trLeft, y + kid.trTop);
      }
      g.restore();
    },
  },

  // A window's client area drawn from its elements; the pixels as 0x00BBGGRR, malloc'd.
  tr_grab__deps: ['$TR', '$TRTEST', 'malloc'],
  tr_grab: function (clientHandle, width, height) {
    var c = document.createElement('canvas');
    c.width = width;
    c.height = height;
    var g = c.getContext('2d');
    var el = TR.elements[clientHandle];
    var shown = el.parentNode.style.display;
    el.parentNode.style.display = '';
    TRTEST.paint(g, el, 0, 0);
    el.parentNode.style.display = shown;
    var data = g.getImageData(0, 0, width, height).data;
    var out = _malloc(width * height * 4);
    for (var i = 0; i < width * height; ++i)
      HEAPU32[(out >> 2) + i] = data[4 * i] | (data[4 * i + 1] << 8) | (data[4 * i + 2] << 16);
    return out;
  },
  // The tests' events, made as the browser makes a person's and dispatched at the element under the
  // point, so that they pass through the page's own listeners.
  tr_test_key: function (key, modifiers) {
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
    var target = document.activeElement || document.body;
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
      clientX: r.left + x,
      clientY: r.top + y,
      button: button,
      buttons: down ? buttons : 0,
      detail: detail,
    }));
  },

  tr_test_close_box__deps: ['$TR'],
  tr_test_close_box: function (frame) {
    var close = TR.elements[frame].querySelector('.tr-close');
    close.dispatchEvent(new MouseEvent('click', {bubbles: true, cancelable: true}));
  },

  tr_device_pixel_ratio: function () {
    return window.devicePixelRatio || 1;
  },
});
