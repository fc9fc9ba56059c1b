// Starts the program once its faces are ready, so that every label is measured in the face it is
// drawn with. The page's own program is tapirun; the tests load theirs with ?program=NAME and
// pass their arguments as ?arg=...&arg=...
(function () {
  'use strict';
  var query = new URLSearchParams(location.search);
  var program = query.get('program') || 'tapirun';
  var testing = program !== 'tapirun';
  var faces = ['Tapirun PGothic', 'Tapirun PMincho', 'Tapirun Mincho'];

  if (!testing && 'serviceWorker' in navigator)
    navigator.serviceWorker.register('sw.js').catch(function () {});

  var output = [];
  window.tapirunOutput = output;
  window.Module = {
    arguments: query.getAll('arg'),
    print: function (line) {
      output.push(line);
      console.log(line);
    },
    printErr: function (line) {
      output.push(line);
      console.error(line);
    },
    // The test programs' environment variables, as ?env=NAME=VALUE.
    preRun: [function () {
      query.getAll('env').forEach(function (pair) {
        var at = pair.indexOf('=');
        if (at > 0) ENV[pair.slice(0, at)] = pair.slice(at + 1);
      });
    }],
    onExit: function (status) {
      window.tapirunExit = status;
    },
    onAbort: function (what) {
      output.push('aborted: ' + what);
      window.tapirunExit = 134;
    },
  };

  // A fault on the page side ends a test program as a crash would.
  if (testing) {
    var fault = function (e) {
      output.push('page fault: ' + (e.reason || e.message || e));
      if (window.tapirunExit === undefined) window.tapirunExit = 134;
    };
    window.addEventListener('error', fault);
    window.addEventListener('unhandledrejection', fault);
  }

  function start() {
    var script = document.createElement('script');
    script.src = program + '.js';
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
