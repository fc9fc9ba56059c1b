var box = document.getElementById('box');
window.addEventListener('keydown', function (e) {
  e.preventDefault();
  if (e.key.length === 1) box.textContent = e.key;
});
// floor.html?bar: a progress bar along the bottom edge that fills by one hundredth every 30 ms and
// starts again when full, as the program's bar runs after each right key, written the plain way.
if (location.search === '?bar') {
  var bar = document.createElement('div'), step = 0;
  bar.id = 'bar';
  document.body.appendChild(bar);
  setInterval(function () {
    step = (step + 1) % 101;
    bar.style.transform = 'scaleX(' + step / 100 + ')';
  }, 30);
}
