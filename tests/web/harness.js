// The tests' own page: the site's style and faces, and a test program named in the query,
// ?program=NAME&arg=.... The published page runs only its own program; test programs come to a
// page only through this one, which the drivers (driven.py) serve beside the site.
//
// It also keeps every text the program puts on the page, by the face it is drawn in, so that the
// test can check each against the subset of that face the site serves.
(function () {
  'use strict';
  var query = new URLSearchParams(location.search);
  var program = /^[\w-]+$/.test(query.get('program') || '') ? query.get('program') : 'none';
  var faces = ['Tapirun PGothic', 'Tapirun PMincho', 'Tapirun Mincho'];

  var output = [];
  window.tapirunOutput = output;
  window.Module = {
    arguments: query.getAll('arg'),
    // ?env=NAME=VALUE: the test program's environment, as CTest gives a desktop test's.
    preRun: [function () {
      query.getAll('env').forEach(function (pair) {
        var at = pair.indexOf('=');
        if (at > 0) ENV[pair.slice(0, at)] = pair.slice(at + 1);
      });
    }],
    print: function (line) {
      output.push(line);
      console.log(line);
    },
    printErr: function (line) {
      output.push(line);
      console.error(line);
    },
    onExit: function (status) {
      window.tapirunExit = status;
    },
    onAbort: function (what) {
      output.push('aborted: ' + what);
      window.tapirunExit = 134;
    },
  };

  // A fault on the page side ends a test program as a crash would.
  var fault = function (e) {
    output.push('page fault: ' + (e.reason || e.message || e));
    if (window.tapirunExit === undefined) window.tapirunExit = 134;
  };
  window.addEventListener('error', fault);
  window.addEventListener('unhandledrejection', fault);

  // The characters beyond ASCII drawn in each face (every face holds ASCII). Texts only read to a
  // screen reader are not drawn.
  var drawn = {};
  window.tapirunDrawn = drawn;
  function faceOf(element) {
    // A detached element has no computed style: its face is the nearest one set on it or above.
    var family = element.isConnected ? getComputedStyle(element).fontFamily : '';
    for (var e = element; !family && e; e = e.parentElement) family = e.style.fontFamily;
    var families = (family || '"Tapirun PGothic"').split(',');
    for (var i = 0; i < families.length; ++i) {
      var name = families[i].trim().replace(/^["']|["']$/g, '');
      if (name.indexOf('Tapirun ') === 0) return name;
    }
    return families[0];
  }
  function keep(node) {
    var text = node.nodeValue;
    var element = node.parentElement;
    if (!element || !/[^\x00-\x7e]/.test(text) || element.closest('.tr-spoken, .tr-live')) return;
    var face = faceOf(element);
    var known = drawn[face] || '';
    for (var i = 0; i < text.length; ++i)
      if (text.charCodeAt(i) > 0x7e && known.indexOf(text[i]) < 0) known += text[i];
    drawn[face] = known;
  }
  function scan(root) {
    if (root.nodeType === Node.TEXT_NODE) return keep(root);
    var walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT);
    for (var node = walker.nextNode(); node; node = walker.nextNode()) keep(node);
  }
  new MutationObserver(function (records) {
    records.forEach(function (record) {
      if (record.type === 'childList') record.addedNodes.forEach(scan);
      else scan(record.target);
    });
  }).observe(document.body, {subtree: true, childList: true, characterData: true, attributes: true,
    attributeFilter: ['style']});

  // Where the engine has Trusted Types, the test program's address is set through the one policy
  // the site's headers allow.
  var url = program + '.js';
  if (window.trustedTypes && window.trustedTypes.createPolicy)
    url = window.trustedTypes.createPolicy('tapirun', {createScriptURL: function (u) { return u; }}).createScriptURL(url);
  function start() {
    var script = document.createElement('script');
    script.src = url;
    script.onerror = function () {
      window.tapirunExit = 127;
    };
    document.body.appendChild(script);
  }
  var loads = faces.map(function (face) {
    return document.fonts.load('16px "' + face + '"', 'あA');
  });
  Promise.all(loads).then(start, start);
})();
